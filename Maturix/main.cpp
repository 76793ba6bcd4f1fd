#include "ApplicationMenu.h"
#include "Bundle.h"
#include "Logging.h"
#include "MaturixApplicationController.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDirIterator>
#include <QIcon>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const Bundle &bundle = Bundle::mainBundle();
    QApplication::setApplicationName(bundle.name());
    QApplication::setApplicationVersion(bundle.shortVersion());
    QApplication::setQuitOnLastWindowClosed(true);
    // The desktop matches windows to the entry by this name; the icon in
    // every size the build renders, for every window.
    QGuiApplication::setDesktopFileName(bundle.identifier());
    QIcon icon;
    for (QDirIterator sizes(QStringLiteral(":/icons")); sizes.hasNext();)
        icon.addFile(sizes.next());
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    parser.setApplicationDescription(QApplication::translate(
            "main", "Bone-age assessment after Greulich and Pyle."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption printOption(
            QStringLiteral("print"),
            QApplication::translate("main", "Print the files with the default printer, then quit."));
    parser.addOption(printOption);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QApplication::translate("main", "Patient files to open."),
                                 QStringLiteral("[files...]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    const bool print = parser.isSet(printOption);
    if (print && files.isEmpty())
        parser.showHelp(1);

    // One Maturix per session: a running one takes the files and comes to
    // the front. A start that only prints never claims the name, since it
    // quits straight after; two starts at the same moment settle it by the
    // claim. Without a session bus every start runs on its own.
    SingleInstance instance(bundle.identifier());
    if (instance.handOver(files, print))
        return 0;
    if (!print && !instance.claim() && instance.handOver(files, print))
        return 0;

    MaturixApplicationController controller;
    controller.awakeFromNib();
    ApplicationMenu::installForDocuments(&controller);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &controller,
                     [&controller] { controller.applicationWillTerminate(); });
    QObject::connect(&instance, &SingleInstance::filesReceived, &controller,
                     [&controller](const QStringList &paths, bool printThem) {
                         if (!printThem) {
                             controller.applicationOpenFiles(paths);
                             return;
                         }
                         for (const QString &path : paths)
                             controller.applicationPrintFile(path);
                     });

    if (print) {
        for (const QString &path : files)
            controller.applicationPrintFile(path);
        return 0;
    }

    // Once the event loop runs: the files (or a new patient), then the
    // launch sequence, whose splash window comes up over them.
    QTimer::singleShot(0, &controller, [&controller, files] {
        controller.applicationOpenFiles(files);
        controller.applicationDidFinishLaunching();
        qCDebug(lcApplication, "First window shown");
    });
    return app.exec();
}
