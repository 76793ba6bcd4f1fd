#include "PatientFile.h"

#include <benchmark/benchmark.h>

namespace {

// A patient with 1,000 examinations at times of day that are stored as raw
// doubles, with a height each, and a few without a date.
std::unique_ptr<PatientRecord> makePatient()
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("BENCH-0001"));
    record->setNameString(QStringLiteral("Müller^Anna"));
    record->setBirthDate(AbsoluteDate(285206400.0));
    record->setGender(2);
    for (int k = 0; k < 1000; ++k) {
        auto exam = std::make_unique<TRRecord>(TRRecord::blank());
        if (k % 50 != 49)
            exam->setExamDate(AbsoluteDate(285206400.0 + k * 14.0 * 86400.0 + 36900.523));
        exam->setMaturixIndex(1 + k % 27);
        exam->setHeight(50.0 + k * 0.1);
        record->trRecordsArray().push_back(std::move(exam));
    }
    return record;
}

void writePatient(benchmark::State &state)
{
    const auto record = makePatient();
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray data = PatientFile::write(*record);
        bytes += data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(writePatient)->Unit(benchmark::kMicrosecond);

void readPatient(benchmark::State &state)
{
    const QByteArray data = PatientFile::write(*makePatient());
    for (auto _ : state) {
        QString error;
        const auto record = PatientFile::read(data, &error);
        if (!record || record->trRecordsArray().size() != 1000)
            state.SkipWithError("patient not read back");
        benchmark::DoNotOptimize(record.get());
    }
    state.SetBytesProcessed(qint64(state.iterations()) * data.size());
}
BENCHMARK(readPatient)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
