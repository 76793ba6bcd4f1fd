#include "DocumentController.h"
#include "FilePanel.h"
#include "KVAutoNameDocument.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"

#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {
// A patient-like document: proposes "<database>/<identifier>" as its
// location before the save panel, as the record documents do.
class NamedDocument : public TextDocument<KVAutoNameDocument>
{
public:
    NamedDocument() { text = "record"; }

    QString databaseFolder;
    QString identifier;

    void fillIn() { m_docIsBlank = false; }

    bool prepareSavePanel(FilePanel &panel) override
    {
        panel.setDirectory(databaseFolder);
        if (fileURL().isEmpty() && !identifier.isEmpty())
            setFileName(databaseFolder + u'/' + identifier);
        return true;
    }
};
} // namespace

class tst_KVDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newDocumentIsBlank();
    void openingReplacesBlankWindow_data();
    void openingReplacesBlankWindow();
    void failedOpenLeavesBlankClosed();
    void cancelledPanelRestoresLocation();
    void failedSaveRestoresLocation();
    void cancelledSaveAsKeepsFile();
    void panelSaveKeepsProposedName();
    void closeQuestionAnswersOnceThroughPanel();
    void printsPrintableView();

private:
    NamedDocument *newDocument(bool display = true);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DocumentController> m_controller;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<ScriptedFilePanelResponder> m_panels;
};

void tst_KVDocument::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_controller = std::make_unique<DocumentController>();
    QCOMPARE(DocumentController::sharedDocumentController(), m_controller.get());
    m_controller->setDefaultType(QStringLiteral("maturix"));
    const QString folder = m_dir->path();
    m_controller->setDocumentFactory([folder](const QString &) {
        auto *document = new NamedDocument;
        document->databaseFolder = folder;
        return document;
    });
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_panels = std::make_unique<ScriptedFilePanelResponder>();
}

void tst_KVDocument::cleanup()
{
    m_panels.reset();
    m_alerts.reset();
    m_controller.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dir.reset();
}

NamedDocument *tst_KVDocument::newDocument(bool display)
{
    return static_cast<NamedDocument *>(m_controller->openUntitledDocumentAndDisplay(display));
}

void tst_KVDocument::newDocumentIsBlank()
{
    NamedDocument *document = newDocument();
    QVERIFY(document->isBlank());
    QCOMPARE(document->windowNibName(), QStringLiteral("KVDocument"));
    QVERIFY(document->window());
    document->fillIn();
    QVERIFY(!document->isBlank());
}

void tst_KVDocument::openingReplacesBlankWindow_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("filledIn");
    QTest::addColumn<bool>("displayed");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("untouched") << false << false << true << true;
    QTest::newRow("typed into, changed") << true << false << true << false;
    QTest::newRow("filled in, saved state") << false << true << true << false;
    QTest::newRow("not the current document") << false << false << false << false;
}

void tst_KVDocument::openingReplacesBlankWindow()
{
    QFETCH(bool, edited);
    QFETCH(bool, filledIn);
    QFETCH(bool, displayed);
    QFETCH(bool, replaced);

    const QString path = m_dir->filePath(QStringLiteral("AB-12.maturix"));
    QVERIFY(writeFile(path, "saved record"));
    QPointer<NamedDocument> blank = newDocument(displayed);
    if (edited)
        blank->updateChangeCount(Document::ChangeDone);
    if (filledIn)
        blank->fillIn();

    QString error;
    auto *opened = static_cast<NamedDocument *>(
            m_controller->openDocumentWithContentsOfFile(path, true, &error));
    QVERIFY2(opened, qPrintable(error));
    QVERIFY(!opened->isBlank());
    QCOMPARE(opened->text, QByteArray("saved record"));
    QCOMPARE(blank->isClosed(), replaced);
    QCOMPARE(m_controller->documents().size(), replaced ? 1 : 2);
    QCOMPARE(m_controller->currentDocument(), opened);
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_KVDocument::failedOpenLeavesBlankClosed()
{
    const QString path = m_dir->filePath(QStringLiteral("broken.maturix"));
    QVERIFY(writeFile(path, "bad record"));
    QPointer<NamedDocument> blank = newDocument();
    QString error;
    QVERIFY(!m_controller->openDocumentWithContentsOfFile(path, true, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(blank->isClosed());
    QVERIFY(m_controller->documents().isEmpty());
}

void tst_KVDocument::cancelledPanelRestoresLocation()
{
    NamedDocument *document = newDocument();
    document->identifier = QStringLiteral("AB-12");
    document->updateChangeCount(Document::ChangeDone);
    m_panels->cancel();
    document->saveDocument();

    QCOMPARE(m_panels->panels().size(), 1);
    const FilePanel &panel = m_panels->panels().first();
    QCOMPARE(panel.directory(), m_dir->path());
    QCOMPARE(panel.nameFieldStringValue(), QStringLiteral("AB-12"));
    QVERIFY(document->fileURL().isEmpty());
    QCOMPARE(document->displayName(), QStringLiteral("Untitled"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("AB-12.maturix"))));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("AB-12"))));
}

void tst_KVDocument::failedSaveRestoresLocation()
{
    NamedDocument *document = newDocument();
    document->identifier = QStringLiteral("AB-12");
    document->failWrites = true;
    m_panels->choose(QStringLiteral("AB-12"));
    document->saveDocument();
    QVERIFY(document->fileURL().isEmpty());
    QCOMPARE(m_alerts->alerts().size(), 1);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("AB-12.maturix"))));
}

void tst_KVDocument::cancelledSaveAsKeepsFile()
{
    const QString path = m_dir->filePath(QStringLiteral("CD-3.maturix"));
    QVERIFY(writeFile(path, "cd"));
    auto *document =
            static_cast<NamedDocument *>(m_controller->openDocumentWithContentsOfFile(path, true));
    QVERIFY(document);
    m_panels->cancel();
    document->saveDocumentAs();
    QCOMPARE(document->fileName(), path);
    QCOMPARE(m_panels->panels().first().nameFieldStringValue(), QStringLiteral("CD-3.maturix"));
}

void tst_KVDocument::panelSaveKeepsProposedName()
{
    NamedDocument *document = newDocument();
    document->identifier = QStringLiteral("AB-12");
    document->updateChangeCount(Document::ChangeDone);
    m_panels->choose(QStringLiteral("AB-12"));
    document->saveDocument();
    const QString path = m_dir->filePath(QStringLiteral("AB-12.maturix"));
    QCOMPARE(document->fileName(), path);
    QVERIFY(QFile::exists(path));
    QVERIFY(!document->isDocumentEdited());
}

void tst_KVDocument::closeQuestionAnswersOnceThroughPanel()
{
    NamedDocument *document = newDocument();
    document->updateChangeCount(Document::ChangeDone);
    m_alerts->answerWithButton(QStringLiteral("Save"));
    m_panels->choose(QStringLiteral("EF-5"));
    int answers = 0;
    bool answer = false;
    document->canCloseDocument([&](Document *, bool shouldClose) {
        ++answers;
        answer = shouldClose;
    });
    QCOMPARE(answers, 1);
    QVERIFY(answer);
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("EF-5.maturix"))));
}

void tst_KVDocument::printsPrintableView()
{
    NamedDocument *document = newDocument();
    auto *view = new QWidget(document->window());
    view->resize(300, 200);
    view->setStyleSheet(QStringLiteral("background: red"));
    document->setPrintableView(view);
    const QString pdf = m_dir->filePath(QStringLiteral("print.pdf"));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(pdf);

    bool printed = false;
    document->printDocumentWithSettings({}, false, [&](Document *, bool ok) { printed = ok; });
    QVERIFY(printed);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(4) == "%PDF");
}

QTEST_MAIN(tst_KVDocument)
#include "tst_kvdocument.moc"
