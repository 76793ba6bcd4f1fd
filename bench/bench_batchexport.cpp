#include "MaturixDocument.h"
#include "NotificationCenter.h"
#include "PatientFile.h"
#include "PreferenceKeys.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QDir>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

// Batch export of recently changed patients (10 examinations each) through
// the application controller's queue, against rendering and encoding one
// chart alone. Peak memory is reset before each run, so that the figures of
// 100 and 1,000 patients can be compared.
namespace {

std::unique_ptr<PatientRecord> makePatient(int number)
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("P%1").arg(number, 5, 10, QLatin1Char('0')));
    record->setBirthDate(AbsoluteDate(285206400.0));
    record->setGender(1);
    for (int k = 0; k < 10; ++k) {
        auto exam = std::make_unique<TRRecord>(TRRecord::blank());
        exam->setExamDate(AbsoluteDate(285206400.0 + (3.0 + k) * 365.25 * 86400.0));
        exam->setMaturixIndex(4 + 2 * k);
        exam->setHeight(95.0 + 6.0 * k);
        record->trRecordsArray().push_back(std::move(exam));
    }
    return record;
}

// Peak resident memory in kB since the last reset.
long peakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Setup
{
    QTemporaryDir home;
    std::unique_ptr<VantrelAppController> controller;

    explicit Setup(int patients)
    {
        qputenv("HOME", home.path().toLocal8Bit());
        QDir(home.path()).mkpath(QStringLiteral("Patients"));
        QDir(home.path()).mkpath(QStringLiteral("Exports"));
        UserDefaults::setStandardUserDefaults(
                std::make_unique<UserDefaults>(home.filePath(QStringLiteral("defaults.ini"))));
        controller = std::make_unique<VantrelAppController>();
        UserDefaults::standardUserDefaults().registerDefaults(
                { { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") },
                  { PreferenceKeys::ExportDirectory, QStringLiteral("~/Exports") } });
        controller->setDefaultType(QStringLiteral("maturix"));
        controller->setDocumentFactory([](const QString &) { return new MaturixDocument; });
        controller->awakeFromNib();
        for (int i = 0; i < patients; ++i) {
            QFile file(patientPath(i));
            if (file.open(QIODevice::WriteOnly))
                file.write(PatientFile::write(*makePatient(i)));
        }
    }
    ~Setup()
    {
        controller->applicationWillTerminate();
        controller.reset();
        UserDefaults::setStandardUserDefaults(nullptr);
    }
    QString patientPath(int i) const
    {
        return home.filePath(QStringLiteral("Patients/P%1.maturix").arg(i, 5, 10, QLatin1Char('0')));
    }
};

// Runs the event loop, as the application does, until the queue is done:
// closed documents are deleted between files.
void runUntilDone(const VantrelAppController &controller)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (controller.batchQueue().isEmpty() && !controller.batchProgress())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
}

void batchExport(benchmark::State &state)
{
    const int patients = int(state.range(0));
    Setup setup(patients);
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(setup.home.filePath(QStringLiteral("Exports"))).removeRecursively();
        QDir(setup.home.path()).mkpath(QStringLiteral("Exports"));
        resetPeak();
        state.ResumeTiming();
        for (int i = 0; i < patients; ++i)
            NotificationCenter::defaultCenter().post(QStringLiteral("BatchOpen"), setup.patientPath(i));
        runUntilDone(*setup.controller);
        peak = std::max(peak, peakKilobytes());
    }
    if (QDir(setup.home.filePath(QStringLiteral("Exports"))).entryList(QDir::Files).size() != patients)
        state.SkipWithError("not every chart was exported");
    state.counters["per_patient"] = benchmark::Counter(
            double(patients) * state.iterations(),
            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_MB"] = double(peak) / 1024.0;
}
BENCHMARK(batchExport)->Arg(100)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(1);

void renderAndEncodeOneChart(benchmark::State &state)
{
    Setup setup(1);
    auto *document = qobject_cast<MaturixDocument *>(
            setup.controller->openDocumentWithContentsOfFile(setup.patientPath(0), false));
    document->makeWindowControllers();
    for (auto _ : state) {
        const QByteArray jpeg = document->getJPEGData();
        benchmark::DoNotOptimize(jpeg.constData());
    }
    document->close();
}
BENCHMARK(renderAndEncodeOneChart)->Unit(benchmark::kMillisecond);

} // namespace
