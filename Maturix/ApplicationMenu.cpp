#include "ApplicationMenu.h"

#include "AboutController.h"
#include "Bundle.h"
#include "MaturixDocument.h"
#include "PacsFindDialog.h"
#include "VantrelAppController.h"
#include "VantrelDocument.h"

#include <QApplication>
#include <QKeyEvent>
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

// A command whose shortcut a text field of its window would otherwise keep
// for itself (Ctrl+E is "end of line" in a line edit here): the field lets
// the key pass, so the command runs while the user types.
class ShortcutBeforeFields : public QObject
{
public:
    ShortcutBeforeFields(QAction *action, QWidget *window)
        : QObject(action), m_action(action), m_window(window)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        if (!widget || widget->window() != m_window || !m_action->shortcuts().contains(pressed))
            return false;
        event->ignore(); // not the field's: the shortcut goes ahead
        return true;
    }

private:
    QAction *m_action;
    QPointer<QWidget> m_window;
};
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
    fileCommands << file->addAction(tr("&Batch Export…"), controller,
                                    [controller] { controller->doBatchExport(); });
    if (auto *patient = qobject_cast<MaturixDocument *>(document))
        file->addAction(tr("Export &FHIR…"), patient, [patient] { patient->doExportFhir(); });
    file->addSeparator();
    file->addAction(tr("&Print…"), QKeySequence::Print, document,
                    [target] { target->printDocument(); });
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
        QAction *newExamination = examination->addAction(
                tr("&New Examination"), QKeySequence(Qt::CTRL | Qt::Key_E), patient,
                [exam] { exam->doNewRecord(); });
        new ShortcutBeforeFields(newExamination, window);
        examination->addAction(tr("&Delete Examination"), patient,
                               [exam] { exam->doDeleteRecord(); });
        examination->addSeparator();
        examination->addAction(tr("&Previous Examination"), patient,
                               [exam] { exam->doPreviousRecord(); });
        examination->addAction(tr("N&ext Examination"), patient,
                               [exam] { exam->doNextRecord(); });
        if (auto *assessment = qobject_cast<MaturixDocument *>(document)) {
            QPointer<MaturixDocument> report(assessment);
            examination->addSeparator();
            QAction *copyReport = examination->addAction(
                    tr("&Copy Report"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), assessment,
                    [report] { report->doCopyReport(); });
            new ShortcutBeforeFields(copyReport, window);
            validateOnShow(examination, controller, { copyReport });
        }
    }

    QMenu *settings = menuBar->addMenu(tr("&Settings"));
    settings->addAction(tr("&Preferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), controller,
                        [controller] { controller->doPreferences(); });

    QMenu *help = menuBar->addMenu(tr("&Help"));
    help->addAction(tr("%1 &Help").arg(name), QKeySequence::HelpContents, controller,
                    [] { AboutController::doHelp(); });
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
