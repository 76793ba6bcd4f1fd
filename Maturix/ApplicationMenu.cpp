#include "ApplicationMenu.h"

#include "DocumentController.h"
#include "VantrelDocument.h"

#include <QApplication>
#include <QLayout>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

void ApplicationMenu::installForDocuments(DocumentController *controller)
{
    QObject::connect(controller, &DocumentController::documentAdded, controller,
                     [controller](Document *document) {
                         document->makeWindowControllers();
                         installInWindow(document, controller);
                     });
}

void ApplicationMenu::installInWindow(Document *document, DocumentController *controller)
{
    QWidget *window = document->window();
    if (!window || !window->layout() || window->findChild<QMenuBar *>())
        return;
    auto *menuBar = new QMenuBar(window);
    window->layout()->setMenuBar(menuBar);
    QPointer<Document> target(document);

    QMenu *file = menuBar->addMenu(QObject::tr("&File"));
    file->addAction(QObject::tr("&New"), QKeySequence::New, controller,
                    [controller] { controller->newDocument(); });
    file->addAction(QObject::tr("&Open…"), QKeySequence::Open, controller,
                    [controller] { controller->openDocument(); });
    file->addSeparator();
    file->addAction(QObject::tr("&Save"), QKeySequence::Save, document,
                    [target] { target->saveDocument(); });
    file->addAction(QObject::tr("Save &As…"), QKeySequence::SaveAs, document,
                    [target] { target->saveDocumentAs(); });
    file->addAction(QObject::tr("&Close"), QKeySequence::Close, document,
                    [target] { target->performClose(); });
    file->addSeparator();
    file->addAction(QObject::tr("&Quit"), QKeySequence::Quit, controller, [controller] {
        controller->closeAllDocuments([](bool didCloseAll) {
            if (didCloseAll)
                QApplication::quit();
        });
    });

    auto *patient = qobject_cast<VantrelDocument *>(document);
    if (!patient)
        return;
    QPointer<VantrelDocument> exam(patient);
    QMenu *examination = menuBar->addMenu(QObject::tr("&Examination"));
    examination->addAction(QObject::tr("&New Examination"), QKeySequence(Qt::CTRL | Qt::Key_E),
                           patient, [exam] { exam->doNewRecord(); });
    examination->addAction(QObject::tr("&Delete Examination"), patient,
                           [exam] { exam->doDeleteRecord(); });
    examination->addSeparator();
    examination->addAction(QObject::tr("&Previous Examination"), patient,
                           [exam] { exam->doPreviousRecord(); });
    examination->addAction(QObject::tr("N&ext Examination"), patient,
                           [exam] { exam->doNextRecord(); });
}
