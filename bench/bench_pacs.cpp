// 100 patients' charts stored in a local Orthanc in one batch: by our sender
// (one association, from memory), and by DCMTK's storescu sending the same
// 100 files from disk, as a whole process.
#include "ChartSample.h"
#include "OrthancServer.h"
#include "PacsChart.h"
#include "PacsSender.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>

#include <benchmark/benchmark.h>

namespace {
constexpr int chartCount = 100;

OrthancServer *server = nullptr;

struct Charts
{
    Charts()
    {
        const QImage chart = ChartSample::chart(QImage::Format_RGB32);
        for (int i = 0; i < chartCount; ++i) {
            const QString patientID = QStringLiteral("BENCH-%1").arg(i);
            PacsChart dicom(chart, QStringLiteral("Patient %1").arg(i), patientID);
            dicom.setPatientsBirthDate(QDate(2010, 1, 1).addDays(i));
            dicom.setPatientsSex(1 + i % 2);
            files.append(dicom.data());
            QFile file(folder.filePath(patientID + QStringLiteral(".dcm")));
            if (file.open(QIODevice::WriteOnly))
                file.write(files.last());
            paths.append(file.fileName());
        }
    }
    QTemporaryDir folder;
    QList<QByteArray> files;
    QStringList paths;
};

const Charts &charts()
{
    static const Charts instance;
    return instance;
}

PacsAddress orthanc()
{
    PacsAddress address;
    address.calledAETitle = OrthancServer::aeTitle;
    address.host = QStringLiteral("127.0.0.1");
    address.port = server->dicomPort();
    return address;
}

void BM_PacsSender(benchmark::State &state)
{
    const QList<QByteArray> &files = charts().files;
    for (auto _ : state) {
        const QList<PacsResult> results = PacsSender::store(orthanc(), files);
        for (const PacsResult &result : results) {
            if (!result.confirmed) {
                state.SkipWithError(qPrintable(result.reason));
                return;
            }
        }
    }
    state.counters["charts/s"]
            = benchmark::Counter(double(chartCount) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PacsSender)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_Storescu(benchmark::State &state)
{
    const QStringList arguments = QStringList { "-aet", "MATURIX", "-aec", OrthancServer::aeTitle,
                                                "127.0.0.1", QString::number(server->dicomPort()) }
                                  + charts().paths;
    for (auto _ : state) {
        QProcess storescu;
        storescu.start(QStringLiteral("storescu"), arguments);
        if (!storescu.waitForFinished(120000) || storescu.exitCode() != 0) {
            state.SkipWithError("storescu failed");
            return;
        }
    }
    state.counters["charts/s"]
            = benchmark::Counter(double(chartCount) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Storescu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    OrthancServer orthancServer;
    if (!orthancServer.start()) {
        qCritical("Orthanc did not start");
        return 1;
    }
    server = &orthancServer;
    charts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
