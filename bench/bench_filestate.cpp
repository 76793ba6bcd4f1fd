#include "FileState.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The look at a patient file that every save and every periodic check of an
// open window makes: read it whole and hash it. Patient files are a few
// kilobytes; the larger sizes show how far that stays cheap.
static void BM_FileStateOfFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("AB-12.maturix"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(state.range(0), 'x'));
    file.close();
    for (auto _ : state)
        benchmark::DoNotOptimize(FileState::ofFile(path).sha256());
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileStateOfFile)->Arg(2 << 10)->Arg(64 << 10)->Arg(1 << 20);

BENCHMARK_MAIN();
