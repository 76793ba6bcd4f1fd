#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

// Cold start of a whole process until its first window is up (the program
// says so on its log), Maturix against a minimal Qt Widgets program. Runs
// off screen unless QT_QPA_PLATFORM says otherwise (xvfb-run gives xcb).
namespace {
void launchUntilWindowShown(benchmark::State &state, const QString &program)
{
    QTemporaryDir home;
    const QString config = home.filePath(".config/Maturix");
    QDir().mkpath(config);
    // A returning user: the first-run questions are answered.
    QFile settings(config + "/Maturix.ini");
    settings.open(QIODevice::WriteOnly);
    settings.write("[General]\nVersion%20Check%20Interval=31\n");
    settings.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    if (!environment.contains("QT_QPA_PLATFORM"))
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_LOGGING_RULES", "maturix.application.debug=true");
    // No other Maturix to hand over to: each start is a first start.
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.filePath("no-bus"));

    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const auto begin = std::chrono::steady_clock::now();
        process.start(program, {});
        QByteArray log;
        bool shown = false;
        while (!shown && process.waitForReadyRead(30000)) {
            log += process.readAll();
            shown = log.contains("First window shown");
        }
        const auto end = std::chrono::steady_clock::now();
        process.kill();
        process.waitForFinished(30000);
        if (!shown) {
            state.SkipWithError("the program showed no window");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
}
} // namespace

static void BM_MinimalWidgetsProgram(benchmark::State &state)
{
    launchUntilWindowShown(state, QStringLiteral(MINIMAL_WINDOW));
}
BENCHMARK(BM_MinimalWidgetsProgram)
        ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)
        ->ReportAggregatesOnly(true);

static void BM_Maturix(benchmark::State &state)
{
    launchUntilWindowShown(state, QStringLiteral(MATURIX_APP));
}
BENCHMARK(BM_Maturix)
        ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)
        ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
