#include "ApplicationMenu.h"

#include "Bundle.h"
#include "PacsFindDialog.h"
#include "VantrelAppController.h"
#include "VantrelDocument.h"

#include <QApplication>
#include <QLayout>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("ApplicationMenu", text);
}

// The controller decides whether its commands are enabled when their menu
// opens, as the menu's validation would ask it.
void validateOnShow(QMenu *menu, VantrelAppController *controller,
                    const QList<QAction *> &controllerActions)
{
    QObject::connect(menu, &QMenu::aboutToShow, controller, [controller, controllerActions] {
        for (QAction *action : controllerActions)
            action->setEnabled(controller->validateMenuItem(action));
    });
}
} // namespace

void ApplicationMenu::installForDocuments(VantrelAppController *controller)
{
    QObject::connect(controller, &DocumentController::documentAdded, controller,
                     [controller](Document *document) {
                         document->makeWindowControllers();
                         installInWindow(document, controller);
                     });
}

void ApplicationMenu::installInWindow(Document *document, VantrelAppController *controller)
{
    QWidget *window = document->window();
    if (!window || !window->layout() || window->findChild<QMenuBar *>())
        return;
    auto *menuBar = new QMenuBar(window);
    window->layout()->setMenuBar(menuBar);
    QPointer<Document> target(document);
    const QString name = Bundle::mainBundle().name();

    QMenu *file = menuBar->addMenu(tr("&File"));
    QList<QAction *> fileCommands;
    file->addAction(tr("&New"), QKeySequence::New, controller,
                    [controller] { controller->newDocument(); });
    file->addAction(tr("&Open…"), QKeySequence::Open, controller,
                    [controller] { controller->openDocument(); });
    file->addAction(tr("Find in &PACS…"), controller, [window] { PacsFindDialog::showDialog(window); });
    file->addSeparator();
    file->addAction(tr("&Save"), QKeySequence::Save, document, [target] { target->saveDocument(); });
    file->addAction(tr("Save &As…"), QKeySequence::SaveAs, document,
                    [target] { target->saveDocumentAs(); });
    file->addSeparator();
    fileCommands << file->addAction(tr("&Export"), controller, [controller] { controller->doExport(); });
    QAction *batchExport = file->addAction(tr("&Batch Export…"), controller,
                                           [controller] { controller->doBatchExport(); });
    // Off until the batch-export window exists.
    batchExport->setEnabled(false);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence::Close, document,
                    [target] { target->performClose(); });
    fileCommands << file->addAction(tr("Close A&ll"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W),
                                    controller, [controller] { controller->doCloseAllDocuments(); });
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, controller, [controller] {
        controller->closeAllDocuments([](bool didCloseAll) {
            if (didCloseAll)
                QApplication::quit();
        });
    });
    validateOnShow(file, controller, fileCommands);

    if (auto *patient = qobject_cast<VantrelDocument *>(document)) {
        QPointer<VantrelDocument> exam(patient);
        QMenu *examination = menuBar->addMenu(tr("E&xamination"));
        examination->addAction(tr("&New Examination"), QKeySequence(Qt::CTRL | Qt::Key_E), patient,
                               [exam] { exam->doNewRecord(); });
        examination->addAction(tr("&Delete Examination"), patient,
                               [exam] { exam->doDeleteRecord(); });
        examination->addSeparator();
        examination->addAction(tr("&Previous Examination"), patient,
                               [exam] { exam->doPreviousRecord(); });
        examination->addAction(tr("N&ext Examination"), patient,
                               [exam] { exam->doNextRecord(); });
    }

    QMenu *settings = menuBar->addMenu(tr("&Settings"));
    settings->addAction(tr("&Preferences…"), QKeySequence::Preferences, controller,
                        [controller] { controller->doPreferences(); });

    QMenu *help = menuBar->addMenu(tr("&Help"));
    help->addAction(tr("%1 &Web Site").arg(name), controller,
                    [controller] { controller->doGoToWebSite(); });
    help->addAction(tr("Technical &Support…"), controller,
                    [controller] { controller->doMailAuthor(); });
    help->addAction(tr("Check for &Updates…"), controller,
                    [controller] { controller->doCheckForNewVersion(nullptr); });
    help->addSeparator();
    help->addAction(tr("&About %1").arg(name), controller,
                    [controller] { controller->doSplashAboutBox(); });
}
