#include "Document.h"
#include "FileWatcher.h"
#include "Scheduler.h"
#include "ScriptedAlertResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// Counts its reads, so that a test sees whether a change was read.
class SharedDocument : public TextDocument<Document>
{
public:
    int reads = 0;

    bool loadDataRepresentation(const QByteArray &data, const QString &type) override
    {
        ++reads;
        return TextDocument<Document>::loadDataRepresentation(data, type);
    }
};

const QByteArray original = "hello";
// As long as the original, so that a change may keep size and time.
const QByteArray theirs = "howdy";
const QByteArray mine = "mine, edited here";
} // namespace

// Two documents, or a document and another process, on one file: a save
// never replaces another's newer file without asking, and an unchanged
// document follows the file.
class tst_DocumentFileChanges : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveAfterAnotherChange_data();
    void saveAfterAnotherChange();
    void changeWhileOpen_data();
    void changeWhileOpen();
    void anotherProcessWrites_data();
    void anotherProcessWrites();

private:
    std::unique_ptr<SharedDocument> open();
    // Another program's change: "rewrite", "same time and size" (a rewrite
    // that then gets the old modification time back), "touch" (same bytes,
    // a new time), "delete", "unreadable" or "none".
    void changeFile(const QString &change);

    QString m_path;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
};

void tst_DocumentFileChanges::initTestCase()
{
    Scheduler::shared().setManualClock(true);
}

void tst_DocumentFileChanges::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("patient.txt"));
    QVERIFY(writeFile(m_path, original));
    m_alerts = std::make_unique<ScriptedAlertResponder>();
}

void tst_DocumentFileChanges::cleanup()
{
    m_alerts.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_dir.reset();
}

std::unique_ptr<SharedDocument> tst_DocumentFileChanges::open()
{
    auto document = std::make_unique<SharedDocument>();
    QString error;
    if (!document->initWithContentsOfURL(QUrl::fromLocalFile(m_path), QStringLiteral("txt"), &error))
        qWarning("%s", qPrintable(error));
    return document;
}

void tst_DocumentFileChanges::changeFile(const QString &change)
{
    const QDateTime before = QFileInfo(m_path).lastModified();
    if (change == u"delete") {
        QVERIFY(QFile::remove(m_path));
        return;
    }
    if (change != u"touch" && change != u"none") {
        // The other workstation's document, saving as ours does.
        std::unique_ptr<SharedDocument> other = open();
        other->text = change == u"unreadable" ? QByteArray("bad file") : theirs;
        other->saveDocument();
        QCOMPARE(contents(m_path), other->text);
    }
    if (change == u"touch" || change == u"same time and size") {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(change == u"touch" ? before.addSecs(60) : before,
                                 QFileDevice::FileModificationTime));
    }
}

void tst_DocumentFileChanges::saveAfterAnotherChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("answer");     // empty: no question
    QTest::addColumn<bool>("didSave");
    QTest::addColumn<QByteArray>("file");    // null: no file
    QTest::addColumn<QByteArray>("text");    // the document's contents afterwards
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QString>("error");      // the alert after the question, if any

    QTest::newRow("unchanged: no question") << "none" << "" << true << mine << mine << false << "";
    QTest::newRow("same bytes, new time: no question")
            << "touch" << "" << true << mine << mine << false << "";
    QTest::newRow("rewritten, Save Anyway")
            << "rewrite" << "Save Anyway" << true << mine << mine << false << "";
    QTest::newRow("rewritten, Revert") << "rewrite" << "Revert" << false << theirs << theirs
                                       << false << "";
    QTest::newRow("rewritten, Cancel") << "rewrite" << "Cancel" << false << theirs << mine << true
                                       << "";
    QTest::newRow("same time and size: seen by content")
            << "same time and size" << "Cancel" << false << theirs << mine << true << "";
    QTest::newRow("deleted, Save Anyway: written again")
            << "delete" << "Save Anyway" << true << mine << mine << false << "";
    QTest::newRow("deleted, Revert: reported, edits kept")
            << "delete" << "Revert" << false << QByteArray() << mine << true
            << "The document “patient.txt” could not be reverted.";
}

void tst_DocumentFileChanges::saveAfterAnotherChange()
{
    QFETCH(QString, change);
    QFETCH(QString, answer);
    QFETCH(bool, didSave);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    QFETCH(bool, edited);
    QFETCH(QString, error);

    std::unique_ptr<SharedDocument> document = open();
    document->text = mine;
    document->updateChangeCount(Document::ChangeDone);
    changeFile(change);

    if (!answer.isEmpty())
        m_alerts->answerWithButton(answer);
    int completions = 0;
    bool saved = !didSave;
    document->saveDocumentWithCompletion([&](Document *, bool didSaveNow) {
        ++completions;
        saved = didSaveNow;
    });

    QCOMPARE(completions, 1);
    QCOMPARE(saved, didSave);
    QCOMPARE(m_alerts->alerts().size(), (answer.isEmpty() ? 0 : 1) + (error.isEmpty() ? 0 : 1));
    QCOMPARE(m_alerts->unmatchedAnswers(), 0);
    if (!answer.isEmpty()) {
        const ScriptedAlertResponder::Record &question = m_alerts->alerts().first();
        QCOMPARE(question.messageText,
                 QStringLiteral("This patient file has been changed by another program since "
                                "you opened it."));
        QCOMPARE(question.informativeText, QStringLiteral("Saving now replaces those changes."));
        QCOMPARE(question.buttonTitles, QStringList({ "Save Anyway", "Revert", "Cancel" }));
    }
    if (!error.isEmpty())
        QCOMPARE(m_alerts->alerts().last().messageText, error);
    QCOMPARE(QFileInfo::exists(m_path), !file.isNull());
    QCOMPARE(contents(m_path), file);
    QCOMPARE(document->text, text);
    QCOMPARE(document->isDocumentEdited(), edited);

    // What was saved or read again is the file's state now: no question.
    if (!edited) {
        document->text = "later";
        document->updateChangeCount(Document::ChangeDone);
        const qsizetype alertsBefore = m_alerts->alerts().size();
        document->saveDocument();
        QCOMPARE(m_alerts->alerts().size(), alertsBefore);
        QCOMPARE(contents(m_path), QByteArray("later"));
    }
}

void tst_DocumentFileChanges::changeWhileOpen_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QString>("change");     // "own save": this document saves
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("reads");          // after the first one
    QTest::addColumn<bool>("notice");

    QTest::newRow("unchanged document follows the file") << false << "rewrite" << theirs << 1
                                                         << false;
    QTest::newRow("same time and size: followed")
            << false << "same time and size" << theirs << 1 << false;
    QTest::newRow("same bytes, new time: nothing to read") << false << "touch" << original << 0
                                                           << false;
    QTest::newRow("edits kept, notice") << true << "rewrite" << mine << 0 << true;
    QTest::newRow("deleted: notice") << false << "delete" << original << 0 << true;
    QTest::newRow("unreadable: notice, read once") << false << "unreadable" << original << 1
                                                   << true;
    QTest::newRow("own save: nothing") << true << "own save" << mine << 0 << false;
}

void tst_DocumentFileChanges::changeWhileOpen()
{
    QFETCH(bool, edited);
    QFETCH(QString, change);
    QFETCH(QByteArray, text);
    QFETCH(int, reads);
    QFETCH(bool, notice);

    std::unique_ptr<SharedDocument> document = open();
    QSignalSpy noticeSpy(document.get(), &Document::fileChangedOnDisk);
    if (edited) {
        document->text = mine;
        document->updateChangeCount(Document::ChangeDone);
    }
    if (change == u"own save")
        document->saveDocument();
    else
        changeFile(change);

    // The periodic check, twice: a change is read once.
    Scheduler::shared().advanceBy(FileWatcher::checkIntervalSeconds);
    Scheduler::shared().advanceBy(FileWatcher::checkIntervalSeconds);

    QCOMPARE(document->text, text);
    QCOMPARE(document->reads - 1, reads);
    QCOMPARE(document->isFileChangedOnDisk(), notice);
    QCOMPARE(noticeSpy.size(), notice ? 1 : 0);
    QVERIFY(m_alerts->alerts().isEmpty());
    if (change != u"own save")
        QCOMPARE(document->isDocumentEdited(), edited);
}

void tst_DocumentFileChanges::anotherProcessWrites_data()
{
    QTest::addColumn<QStringList>("scripts"); // one per write: $1 the file, $2 the contents

    const QString inPlace = QStringLiteral("printf %s \"$2\" > \"$1\"");
    const QString byRename = QStringLiteral("printf %s \"$2\" > \"$1.new\" && mv \"$1.new\" \"$1\"");
    QTest::newRow("written in place twice") << QStringList { inPlace, inPlace };
    // An atomic save puts a new file in place, which must be watched too.
    QTest::newRow("replaced by a rename, then written in place")
            << QStringList { byRename, inPlace };
}

void tst_DocumentFileChanges::anotherProcessWrites()
{
    QFETCH(QStringList, scripts);

    // The manual clock never runs the periodic check: only the file
    // system's notification can bring the change.
    std::unique_ptr<SharedDocument> document = open();
    for (qsizetype i = 0; i < scripts.size(); ++i) {
        const QByteArray next = "written by another process, " + QByteArray::number(i);
        QProcess writer;
        writer.start(QStringLiteral("/bin/sh"),
                     { QStringLiteral("-c"), scripts[i], QStringLiteral("sh"), m_path,
                       QString::fromLatin1(next) });
        QVERIFY(writer.waitForFinished(30000));
        QCOMPARE(writer.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(document->text, next, 30000);
    }
    QVERIFY(!document->isDocumentEdited());
    QVERIFY(!document->isFileChangedOnDisk());
}

QTEST_MAIN(tst_DocumentFileChanges)
#include "tst_documentfilechanges.moc"
