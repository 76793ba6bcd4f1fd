#include "BrowserController.h"
#include "PluginManager.h"
#include "ViewerController.h"
#include "ViewerImage.h"
#include "ViewerWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {
const char desktopEntryName[] = "com.quellmar.osirix.desktop";

// Writes the desktop entry that makes this program the installed viewer,
// starting this very executable.
bool installDesktopEntry()
{
    QFile source(QStringLiteral(":/osirix-host/com.quellmar.osirix.desktop.in"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    QSaveFile entry(QDir(folder).absoluteFilePath(QLatin1String(desktopEntryName)));
    if (!source.open(QIODevice::ReadOnly) || !QDir().mkpath(folder)
        || !entry.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(entry.fileName()));
        return false;
    }
    QByteArray text = source.readAll();
    text.replace(
        "@OSIRIX_HOST_EXECUTABLE@", QFile::encodeName(QApplication::applicationFilePath()));
    entry.write(text);
    if (!entry.commit()) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(entry.fileName()));
        return false;
    }
    std::printf("%s\n", qPrintable(entry.fileName()));
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("osirix-host"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "DICOM viewer that opens the files given in one viewer and hosts the plug-ins of %1.")
                                         .arg(PluginManager::defaultPluginsDirectory()));
    parser.addHelpOption();
    const QCommandLineOption database(QStringLiteral("database"),
        QStringLiteral("Database folder; returned images land in its INCOMING.noindex "
                       "(default: %1).")
            .arg(BrowserController::defaultDocumentsDirectory()),
        QStringLiteral("DIR"), BrowserController::defaultDocumentsDirectory());
    const QCommandLineOption runPlugin(QStringLiteral("run-plugin"),
        QStringLiteral("Run the plug-in NAME on the viewer at once."), QStringLiteral("NAME"));
    const QCommandLineOption installEntry(QStringLiteral("install-desktop-entry"),
        QStringLiteral("Install %1 for this executable and exit.")
            .arg(QLatin1String(desktopEntryName)));
    parser.addOptions({ database, runPlugin, installEntry });
    parser.addPositionalArgument(
        QStringLiteral("FILE"), QStringLiteral("DICOM files to view."), QStringLiteral("FILE..."));
    parser.process(app);

    if (parser.isSet(installEntry))
        return installDesktopEntry() ? 0 : 1;

    std::vector<std::unique_ptr<ViewerImage>> images;
    for (const QString &path : parser.positionalArguments()) {
        QString error;
        std::unique_ptr<ViewerImage> image = ViewerImage::imageWithContentsOfFile(path, &error);
        if (image)
            images.push_back(std::move(image));
        else
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
    }

    BrowserController browser(parser.value(database));
    ViewerController viewer(std::move(images));
    PluginManager plugins;
    plugins.loadPlugins(PluginManager::defaultPluginsDirectory());

    ViewerWindow window(&viewer, &browser, &plugins);
    window.show();

    if (parser.isSet(runPlugin)) {
        const QString name = parser.value(runPlugin);
        QTimer::singleShot(0, &window, [&plugins, &viewer, name] {
            PluginManager::Plugin *plugin = plugins.pluginNamed(name);
            if (plugin)
                PluginManager::runPlugin(*plugin, &viewer);
            else
                std::fprintf(stderr, "No plug-in named %s\n", qPrintable(name));
        });
    }
    return app.exec();
}
