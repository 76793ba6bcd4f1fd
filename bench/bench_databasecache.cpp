#include "PreferenceKeys.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// The scan of the database folder into the application controller's cache,
// over 100,000 empty patient files in a two-level tree (100 folders of 10
// folders of 100 files), against find(1) listing the same files.
namespace {
constexpr int topFolders = 100;
constexpr int subFolders = 10;
constexpr int filesPerFolder = 100;
constexpr int patientFiles = topFolders * subFolders * filesPerFolder;

struct Database
{
    QTemporaryDir home;
    QString folder;

    Database()
    {
        folder = home.filePath(QStringLiteral("Patients"));
        for (int top = 0; top < topFolders; ++top) {
            for (int sub = 0; sub < subFolders; ++sub) {
                const QString dir = QStringLiteral("%1/%2/%3").arg(folder).arg(top, 2, 10, QChar(u'0')).arg(sub);
                QDir().mkpath(dir);
                for (int k = 0; k < filesPerFolder; ++k) {
                    QFile file(QStringLiteral("%1/P%2-%3-%4.maturix").arg(dir).arg(top).arg(sub).arg(k));
                    file.open(QIODevice::WriteOnly);
                }
            }
        }
        UserDefaults::setStandardUserDefaults(
                std::make_unique<UserDefaults>(home.filePath(QStringLiteral("prefs.ini"))));
        UserDefaults &defaults = UserDefaults::standardUserDefaults();
        defaults.setString(folder, PreferenceKeys::SaveDirectory);
        defaults.setString(QStringLiteral("maturix"), PreferenceKeys::DataFileExtension);
        defaults.setBool(true, PreferenceKeys::AutoSave);
    }
};

Database &database()
{
    static Database shared;
    return shared;
}

void cacheDatabaseFiles(benchmark::State &state)
{
    database();
    for (auto _ : state) {
        VantrelAppController controller;
        controller.cacheDatabaseFiles();
        if (controller.cachedDatabaseFiles().size() != patientFiles)
            state.SkipWithError("not every patient file was cached");
    }
    state.SetItemsProcessed(state.iterations() * patientFiles);
}
BENCHMARK(cacheDatabaseFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

void findPatientFiles(benchmark::State &state)
{
    const QString folder = database().folder;
    for (auto _ : state) {
        QProcess find;
        find.start(QStringLiteral("find"), { folder, QStringLiteral("-name"), QStringLiteral("*.maturix") });
        find.waitForFinished(-1);
        if (find.readAllStandardOutput().count('\n') != patientFiles)
            state.SkipWithError("find did not list every patient file");
    }
    state.SetItemsProcessed(state.iterations() * patientFiles);
}
BENCHMARK(findPatientFiles)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace
