#include "ApplicationMenu.h"
#include "Bundle.h"
#include "DocumentController.h"
#include "MaturixDocument.h"
#include "UserDefaults.h"
#include "Workspace.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(Bundle::mainBundle().name());
    QApplication::setApplicationVersion(Bundle::mainBundle().shortVersion());
    QApplication::setQuitOnLastWindowClosed(true);
    // Other programs (the viewer's plug-in) find a running Maturix by its name
    // on the session bus; without a bus it simply runs unannounced.
    Workspace::sharedWorkspace().registerRunningApplication(Bundle::mainBundle().identifier());

    UserDefaults::standardUserDefaults().registerDefaults(
            { { QStringLiteral("DataFile Extension"), QStringLiteral("maturix") } });
    const QString extension =
            UserDefaults::standardUserDefaults().stringForKey(QStringLiteral("DataFile Extension"));

    DocumentController controller;
    controller.setDefaultType(extension);
    controller.setDocumentFactory([](const QString &) { return new MaturixDocument; });
    ApplicationMenu::installForDocuments(&controller);

    // Files named on the command line open; otherwise a new patient.
    bool opened = false;
    for (const QString &path : QApplication::arguments().mid(1)) {
        QString error;
        opened |= controller.openDocumentWithContentsOfFile(path, true, &error) != nullptr;
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
    }
    if (!opened)
        controller.openUntitledDocumentAndDisplay(true);
    return app.exec();
}
