#include "Alert.h"
#include "Document.h"
#include "DocumentController.h"
#include "FilePanel.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {
class PlainDocument : public TextDocument<Document>
{
public:
    int nibLoads = 0;

protected:
    QWidget *createWindow() override { return new QWidget; }
    void windowControllerDidLoadNib() override { ++nibLoads; }
};

} // namespace

class tst_Document : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void alertsAreAnsweredInOrderAndRecorded();
    void alertButtonsMapToAnswers();
    void panelsAreAnsweredAndRecorded();

    void changeCountMarksWindow();
    void saveUntitledRunsPanel();
    void cancelledPanelSavesNothing();
    void failedWriteKeepsOldFile();
    void canCloseAsksOnlyWhenEdited_data();
    void canCloseAsksOnlyWhenEdited();
    void closeBoxGoesThroughQuestion();

    void controllerOpensAndFindsDocuments();
    void controllerOrderFollowsWindows();
    void closeAllStopsAtCancel();
    void closingLastWindowEndsApplication_data();
    void closingLastWindowEndsApplication();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DocumentController> m_controller;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<ScriptedFilePanelResponder> m_panels;
};

void tst_Document::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_controller = std::make_unique<DocumentController>();
    m_controller->setDefaultType(QStringLiteral("txt"));
    m_controller->setDocumentFactory([](const QString &) { return new PlainDocument; });
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_panels = std::make_unique<ScriptedFilePanelResponder>();
}

void tst_Document::cleanup()
{
    m_panels.reset();
    m_alerts.reset();
    m_controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dir.reset();
}

void tst_Document::alertsAreAnsweredInOrderAndRecorded()
{
    m_alerts->answer(Alert::AlternateReturn);
    m_alerts->answerWithButton(QStringLiteral("Remove"));
    const Alert first = Alert::alertWithMessageText(
            QStringLiteral("This entry has already been defined"), QStringLiteral("Modify"),
            QStringLiteral("Cancel"), QString(),
            QStringLiteral("Are you sure you want to modify this item?"));
    QCOMPARE(first.runModal(), Alert::AlternateReturn);

    QWidget window;
    int sheetAnswer = 99;
    Alert::alertWithMessageText(QStringLiteral("Are you sure you want to remove this exam?"),
                                QStringLiteral("Remove"), QStringLiteral("Cancel"), QString(),
                                QString())
            .beginSheetModalForWindow(&window, [&](int code) { sheetAnswer = code; });
    QCOMPARE(sheetAnswer, Alert::DefaultReturn);

    // The queue is empty: the default button answers.
    QCOMPARE(Alert::alertWithMessageText(QStringLiteral("Recently Printed"), QString(), QString(),
                                         QString(),
                                         QStringLiteral("This document was printed in the last "
                                                        "30 seconds."))
                     .runModal(),
             Alert::DefaultReturn);

    const auto &alerts = m_alerts->alerts();
    QCOMPARE(alerts.size(), 3);
    QCOMPARE(alerts[0].messageText, QStringLiteral("This entry has already been defined"));
    QCOMPARE(alerts[0].informativeText,
             QStringLiteral("Are you sure you want to modify this item?"));
    QCOMPARE(alerts[0].buttonTitles, QStringList({ "Modify", "Cancel" }));
    QVERIFY(!alerts[0].sheet);
    QVERIFY(alerts[1].sheet);
    QCOMPARE(alerts[1].informativeText, QString());
    QCOMPARE(alerts[2].buttonTitles, QStringList({ "OK" }));
    QCOMPARE(m_alerts->unmatchedAnswers(), 0);
}

void tst_Document::alertButtonsMapToAnswers()
{
    const Alert alert = Alert::alertWithMessageText(
            QStringLiteral("Save changes to document?"), QStringLiteral("Save"),
            QStringLiteral("Don't Save"), QStringLiteral("Cancel"), QString());
    m_alerts->answerWithButton(QStringLiteral("Save"));
    m_alerts->answerWithButton(QStringLiteral("Don't Save"));
    m_alerts->answerWithButton(QStringLiteral("Cancel"));
    m_alerts->answerWithButton(QStringLiteral("Overwrite"));
    QCOMPARE(alert.runModal(), 1);
    QCOMPARE(alert.runModal(), 0);
    QCOMPARE(alert.runModal(), -1);
    QCOMPARE(alert.runModal(), 1); // no such button: default, noted
    QCOMPARE(m_alerts->unmatchedAnswers(), 1);

    // Without an alternate button the other one still answers -1.
    const Alert noAlternate = Alert::alertWithMessageText(
            QStringLiteral("m"), QStringLiteral("OK"), QString(), QStringLiteral("More"), QString());
    QCOMPARE(noAlternate.buttonTitles(), QStringList({ "OK", "More" }));
    m_alerts->answerWithButton(QStringLiteral("More"));
    QCOMPARE(noAlternate.runModal(), -1);
}

void tst_Document::panelsAreAnsweredAndRecorded()
{
    FilePanel folders = FilePanel::openPanel();
    folders.setCanChooseFiles(false);
    folders.setCanChooseDirectories(true);
    folders.setDirectory(m_dir->path());
    folders.setPrompt(QStringLiteral("Choose"));
    m_panels->choose(QStringLiteral("sub"));
    QCOMPARE(folders.runModal(), FilePanel::OKButton);
    QCOMPARE(folders.filename(), m_dir->filePath(QStringLiteral("sub")));

    FilePanel save = FilePanel::savePanel();
    save.setAllowedFileTypes({ QStringLiteral("maturix") });
    save.setDirectory(m_dir->path());
    save.setNameFieldStringValue(QStringLiteral("AB-12"));
    save.setTitle(QStringLiteral("Export"));
    m_panels->choose(QStringLiteral("AB-12"));
    QCOMPARE(save.runModal(), FilePanel::OKButton);
    QCOMPARE(save.filename(), m_dir->filePath(QStringLiteral("AB-12.maturix")));

    m_panels->cancel();
    QCOMPARE(save.runModal(), FilePanel::CancelButton);
    QVERIFY(save.filename().isEmpty());

    const auto &panels = m_panels->panels();
    QCOMPARE(panels.size(), 3);
    QCOMPARE(panels[0].kind(), FilePanel::OpenPanel);
    QVERIFY(panels[0].canChooseDirectories() && !panels[0].canChooseFiles());
    QCOMPARE(panels[0].prompt(), QStringLiteral("Choose"));
    QCOMPARE(panels[1].kind(), FilePanel::SavePanel);
    QCOMPARE(panels[1].nameFieldStringValue(), QStringLiteral("AB-12"));
    QCOMPARE(panels[1].directory(), m_dir->path());
    QCOMPARE(panels[1].title(), QStringLiteral("Export"));
}

void tst_Document::changeCountMarksWindow()
{
    auto *document = static_cast<PlainDocument *>(m_controller->openUntitledDocumentAndDisplay(true));
    QVERIFY(document);
    QCOMPARE(document->nibLoads, 1);
    QVERIFY(!document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeDone);
    document->updateChangeCount(Document::ChangeDone);
    document->updateChangeCount(Document::ChangeUndone);
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->window()->isWindowModified());
    document->updateChangeCount(Document::ChangeUndone);
    QVERIFY(!document->isDocumentEdited());
    document->updateChangeCount(Document::ChangeDone);
    document->updateChangeCount(Document::ChangeCleared);
    QVERIFY(!document->window()->isWindowModified());
    QCOMPARE(document->window()->windowTitle(), QStringLiteral("Untitled[*]"));
}

void tst_Document::saveUntitledRunsPanel()
{
    Document *document = m_controller->openUntitledDocumentAndDisplay(true);
    document->updateChangeCount(Document::ChangeDone);
    m_panels->choose(m_dir->filePath(QStringLiteral("letter")));
    bool saved = false;
    document->saveDocumentWithCompletion([&](Document *, bool didSave) { saved = didSave; });

    QVERIFY(saved);
    const QString path = m_dir->filePath(QStringLiteral("letter.txt"));
    QCOMPARE(document->fileName(), path);
    QCOMPARE(document->fileType(), QStringLiteral("txt"));
    QCOMPARE(contents(path), QByteArray("hello"));
    QVERIFY(!document->isDocumentEdited());
    QCOMPARE(document->displayName(), QStringLiteral("letter.txt"));
    QCOMPARE(m_panels->panels().size(), 1);
    QCOMPARE(m_panels->panels()[0].nameFieldStringValue(), QStringLiteral("Untitled"));
    QCOMPARE(m_panels->panels()[0].allowedFileTypes(), QStringList({ "txt" }));

    // A titled document saves in place, without a panel.
    static_cast<PlainDocument *>(document)->text = "changed";
    document->saveDocument();
    QCOMPARE(contents(path), QByteArray("changed"));
    QCOMPARE(m_panels->panels().size(), 1);
}

void tst_Document::cancelledPanelSavesNothing()
{
    Document *document = m_controller->openUntitledDocumentAndDisplay(false);
    document->updateChangeCount(Document::ChangeDone);
    m_panels->cancel();
    bool called = false, saved = true;
    document->saveDocumentWithCompletion([&](Document *, bool didSave) {
        called = true;
        saved = didSave;
    });
    QVERIFY(called);
    QVERIFY(!saved);
    QVERIFY(document->fileURL().isEmpty());
    QVERIFY(document->isDocumentEdited());
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_Document::failedWriteKeepsOldFile()
{
    const QString path = m_dir->filePath(QStringLiteral("kept.txt"));
    QVERIFY(writeFile(path, "old contents"));
    QString error;
    auto *document = static_cast<PlainDocument *>(m_controller->openDocumentWithContentsOfFile(path, false, &error));
    QVERIFY2(document, qPrintable(error));
    QCOMPARE(document->text, QByteArray("old contents"));

    document->failWrites = true;
    document->updateChangeCount(Document::ChangeDone);
    bool saved = true;
    document->saveDocumentWithCompletion([&](Document *, bool didSave) { saved = didSave; });
    QVERIFY(!saved);
    QCOMPARE(contents(path), QByteArray("old contents"));
    QVERIFY(document->isDocumentEdited());
    QCOMPARE(m_alerts->alerts().size(), 1);
    QCOMPARE(m_alerts->alerts()[0].messageText,
             QStringLiteral("The document “kept.txt” could not be saved."));

    // Into a folder that does not exist: nothing is written, failure reported.
    document->failWrites = false;
    QVERIFY(!document->writeToFile(m_dir->filePath(QStringLiteral("no/such/x.txt")), "txt", &error));
    QVERIFY(!error.isEmpty());
}

void tst_Document::canCloseAsksOnlyWhenEdited_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("titled");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("panelChoice");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<int>("alerts");

    QTest::newRow("unchanged") << false << false << QString() << false << true << 0;
    QTest::newRow("don't save") << true << false << "Don't Save" << false << true << 1;
    QTest::newRow("cancel") << true << false << "Cancel" << false << false << 1;
    QTest::newRow("save titled") << true << true << "Save" << false << true << 1;
    QTest::newRow("save untitled, panel cancelled") << true << false << "Save" << false << false << 1;
    QTest::newRow("save untitled, panel chosen") << true << false << "Save" << true << true << 1;
}

void tst_Document::canCloseAsksOnlyWhenEdited()
{
    QFETCH(bool, edited);
    QFETCH(bool, titled);
    QFETCH(QString, button);
    QFETCH(bool, panelChoice);
    QFETCH(bool, expected);
    QFETCH(int, alerts);

    Document *document = nullptr;
    if (titled) {
        const QString path = m_dir->filePath(QStringLiteral("titled.txt"));
        QVERIFY(writeFile(path, "x"));
        document = m_controller->openDocumentWithContentsOfFile(path, false);
    } else {
        document = m_controller->openUntitledDocumentAndDisplay(false);
    }
    QVERIFY(document);
    if (edited)
        document->updateChangeCount(Document::ChangeDone);
    if (!button.isEmpty())
        m_alerts->answerWithButton(button);
    if (panelChoice)
        m_panels->choose(m_dir->filePath(QStringLiteral("chosen")));
    else
        m_panels->cancel();

    int answers = 0;
    bool answer = !expected;
    document->canCloseDocument([&](Document *, bool shouldClose) {
        ++answers;
        answer = shouldClose;
    });
    QCOMPARE(answers, 1);
    QCOMPARE(answer, expected);
    QCOMPARE(m_alerts->alerts().size(), alerts);
    QCOMPARE(m_alerts->unmatchedAnswers(), 0);
    if (alerts) {
        QCOMPARE(m_alerts->alerts()[0].buttonTitles,
                 QStringList({ "Save", "Cancel", "Don't Save" }));
    }
}

void tst_Document::closeBoxGoesThroughQuestion()
{
    QPointer<Document> document = m_controller->openUntitledDocumentAndDisplay(true);
    document->updateChangeCount(Document::ChangeDone);
    m_alerts->answerWithButton(QStringLiteral("Cancel"));
    QVERIFY(!document->window()->close());
    QVERIFY(!document->isClosed());
    QCOMPARE(m_controller->documents().size(), 1);

    m_alerts->answerWithButton(QStringLiteral("Don't Save"));
    document->window()->close();
    QVERIFY(document->isClosed());
    QVERIFY(m_controller->documents().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(document.isNull());
}

void tst_Document::controllerOpensAndFindsDocuments()
{
    const QString path = m_dir->filePath(QStringLiteral("a.txt"));
    QVERIFY(writeFile(path, "text of a"));
    const QString bad = m_dir->filePath(QStringLiteral("b.txt"));
    QVERIFY(writeFile(bad, "bad text"));

    QString error;
    Document *a = m_controller->openDocumentWithContentsOfFile(path, false, &error);
    QVERIFY(a);
    QVERIFY(!a->isDocumentEdited());
    QCOMPARE(a->fileType(), QStringLiteral("txt"));
    QCOMPARE(a->window(), nullptr);
    QCOMPARE(m_controller->openDocumentWithContentsOfFile(path, true, &error), a);
    QVERIFY(a->window() && a->window()->isVisible());
    QCOMPARE(m_controller->documentForFileName(path), a);
    QCOMPARE(m_controller->documentForFileName(m_dir->path() + QStringLiteral("/./a.txt")), a);

    QVERIFY(!m_controller->openDocumentWithContentsOfFile(bad, true, &error));
    QVERIFY(error.contains(QStringLiteral("b.txt")));
    QVERIFY(!m_controller->openDocumentWithContentsOfFile(m_dir->filePath("none.txt"), true, &error));
    QCOMPARE(m_controller->documents().size(), 1);

    Document *u1 = m_controller->openUntitledDocumentAndDisplay(false);
    Document *u2 = m_controller->openUntitledDocumentAndDisplay(false);
    QCOMPARE(u1->displayName(), QStringLiteral("Untitled"));
    QCOMPARE(u2->displayName(), QStringLiteral("Untitled 2"));
}

void tst_Document::controllerOrderFollowsWindows()
{
    QCOMPARE(m_controller->currentDocument(), nullptr);
    Document *hidden = m_controller->openUntitledDocumentAndDisplay(false);
    Document *a = m_controller->openUntitledDocumentAndDisplay(true);
    Document *b = m_controller->openUntitledDocumentAndDisplay(true);
    QCOMPARE(m_controller->documents(), QList<Document *>({ b, a, hidden }));
    QCOMPARE(m_controller->currentDocument(), b);

    // Activating a window brings its document to the front.
    QApplication::setActiveWindow(a->window());
    QCOMPARE(m_controller->documents(), QList<Document *>({ a, b, hidden }));
    QCOMPARE(m_controller->currentDocument(), a);

    a->close();
    QCOMPARE(m_controller->documents(), QList<Document *>({ b, hidden }));
    QCOMPARE(m_controller->currentDocument(), b);
    b->window()->hide();
    QCOMPARE(m_controller->currentDocument(), nullptr);
}

void tst_Document::closeAllStopsAtCancel()
{
    QPointer<Document> clean = m_controller->openUntitledDocumentAndDisplay(true);
    QPointer<Document> edited = m_controller->openUntitledDocumentAndDisplay(true);
    QPointer<Document> back = m_controller->openUntitledDocumentAndDisplay(false);
    edited->updateChangeCount(Document::ChangeDone);
    m_alerts->answerWithButton(QStringLiteral("Cancel"));

    int calls = 0;
    bool all = true;
    m_controller->closeAllDocuments([&](bool didCloseAll) {
        ++calls;
        all = didCloseAll;
    });
    QCOMPARE(calls, 1);
    QVERIFY(!all);
    QVERIFY(edited->isClosed() == false);
    QVERIFY(!back->isClosed()); // never asked: the one in front of it refused
    QCOMPARE(m_alerts->alerts().size(), 1);

    m_alerts->answerWithButton(QStringLiteral("Don't Save"));
    m_controller->closeAllDocuments([&](bool didCloseAll) {
        ++calls;
        all = didCloseAll;
    });
    QCOMPARE(calls, 2);
    QVERIFY(all);
    QVERIFY(m_controller->documents().isEmpty());
    QVERIFY(clean->isClosed() || clean.isNull());
}

void tst_Document::closingLastWindowEndsApplication_data()
{
    QTest::addColumn<bool>("displayed");
    QTest::addColumn<int>("otherWindows");
    QTest::addColumn<bool>("ends");
    QTest::newRow("last window") << true << 0 << true;
    QTest::newRow("another window left") << true << 1 << false;
    QTest::newRow("document without a window") << false << 0 << false;
}

void tst_Document::closingLastWindowEndsApplication()
{
    QFETCH(bool, displayed);
    QFETCH(int, otherWindows);
    QFETCH(bool, ends);
    Document *document = m_controller->openUntitledDocumentAndDisplay(displayed);
    for (int i = 0; i < otherWindows; ++i)
        m_controller->openUntitledDocumentAndDisplay(true);

    QTimer::singleShot(0, document, &Document::performClose);
    // When closing does not end the loop, this does, with its own code.
    QTimer stop;
    stop.setSingleShot(true);
    connect(&stop, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    stop.start(500);
    QCOMPARE(QCoreApplication::exec(), ends ? 0 : 7);
}

QTEST_MAIN(tst_Document)
#include "tst_document.moc"
