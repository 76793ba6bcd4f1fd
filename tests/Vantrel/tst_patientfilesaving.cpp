#include "VantrelAppController.h"
#include "VantrelDocument.h"

#include "FileWatcher.h"
#include "PreferenceKeys.h"
#include "Scheduler.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"
#include "UserDefaults.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
// What a new document holds goes into the patient's document the look-up
// opens, after what that one holds.
class PatientDocument : public TextDocument<VantrelDocument>
{
public:
    bool addExaminationsTypedIn(VantrelDocument &typed) override
    {
        text += static_cast<PatientDocument &>(typed).text;
        updateChangeCount(ChangeDone);
        return true;
    }
};

// Limits the size of any file this process writes while it exists, so that
// a save runs out of room part-way, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved {};
};
} // namespace

// Look-up, automatic and panel saves, the close confirmation: a real
// controller and real files in a temporary database folder; every alert and
// panel answered by script.
class tst_PatientFileSaving : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lookUp_data();
    void lookUp();
    void save_data();
    void save();
    void closeConfirmation_data();
    void closeConfirmation();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void changedByAnotherProgram_data();
    void changedByAnotherProgram();
    void savedFilesStayPrivateAndInTheirFolder_data();
    void savedFilesStayPrivateAndInTheirFolder();

private:
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }
    QString database(const QString &name = QString()) const
    {
        return name.isEmpty() ? m_home.filePath(QStringLiteral("Patients"))
                              : m_home.filePath(QStringLiteral("Patients/") + name);
    }
    // A new patient window with an identifier and unsaved contents.
    PatientDocument *newPatient(const QString &identifier, const QByteArray &text = "new");
    PatientDocument *openPatient(const QString &path);

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_preferences;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<ScriptedFilePanelResponder> m_panels;
    std::unique_ptr<VantrelAppController> m_controller;
};

void tst_PatientFileSaving::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
    Scheduler::shared().setManualClock(true);
}

void tst_PatientFileSaving::init()
{
    QDir(database()).removeRecursively();
    QVERIFY(QDir().mkpath(database()));
    m_preferences = std::make_unique<QTemporaryDir>();
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_preferences->filePath(QStringLiteral("prefs.ini"))));
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_panels = std::make_unique<ScriptedFilePanelResponder>();
    m_controller = std::make_unique<VantrelAppController>();
    defaults().setString(QStringLiteral("~/Patients"), PreferenceKeys::SaveDirectory);
    defaults().setString(QStringLiteral("maturix"), PreferenceKeys::DataFileExtension);
    defaults().setBool(true, PreferenceKeys::AutoSave);
    m_controller->setDefaultType(QStringLiteral("maturix"));
    m_controller->setDocumentFactory([](const QString &) { return new PatientDocument; });
}

void tst_PatientFileSaving::cleanup()
{
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    Scheduler::shared().setManualClock(true);
    m_panels.reset();
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
}

PatientDocument *tst_PatientFileSaving::newPatient(const QString &identifier, const QByteArray &text)
{
    auto *document = static_cast<PatientDocument *>(m_controller->openUntitledDocumentAndDisplay(true));
    document->setIdentifier(identifier);
    document->text = text;
    document->updateChangeCount(Document::ChangeDone);
    return document;
}

PatientDocument *tst_PatientFileSaving::openPatient(const QString &path)
{
    return static_cast<PatientDocument *>(m_controller->openDocumentWithContentsOfFile(path, true));
}

void tst_PatientFileSaving::lookUp_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<QString>("file");       // written into the database folder before the scan
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("cacheEntry"); // added to the cache after the scan
    QTest::addColumn<bool>("ask");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("opened");

    const QByteArray saved = "saved";
    QTest::newRow("found, Open") << true << "AB-12.maturix" << saved << "" << true << 1 << true
                                 << true << true;
    QTest::newRow("found, Cancel") << true << "AB-12.maturix" << saved << "" << true << 0 << false
                                   << true << false;
    QTest::newRow("found by the link, no question") << true << "AB-12.maturix" << saved << "" << false
                                                    << 1 << true << false << true;
    QTest::newRow("Auto Save off") << false << "AB-12.maturix" << saved << "" << true << 1 << false
                                   << false << false;
    QTest::newRow("not found") << true << "CD-34.maturix" << saved << "" << true << 1 << false
                               << false << false;
    QTest::newRow("in the cache, no file") << true << "" << saved << "AB-12" << true << 1 << false
                                           << false << false;
    QTest::newRow("case mismatch") << true << "ab-12.maturix" << saved << "" << true << 1 << false
                                   << false << false;
    QTest::newRow("sub-folder") << true << "2025/AB-12.maturix" << saved << "AB-12" << true << 1
                                << false << false << false;
    // The new document keeps what was typed when the file cannot be read.
    QTest::newRow("unreadable file") << true << "AB-12.maturix" << QByteArray("bad") << "" << true
                                     << 1 << true << true << false;
}

void tst_PatientFileSaving::lookUp()
{
    QFETCH(bool, autoSave);
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, cacheEntry);
    QFETCH(bool, ask);
    QFETCH(int, answer);
    QFETCH(bool, found);
    QFETCH(bool, asked);
    QFETCH(bool, opened);

    defaults().setBool(autoSave, PreferenceKeys::AutoSave);
    if (!file.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(database(file)).path()));
        QVERIFY(writeFile(database(file), contents));
    }
    m_controller->cacheDatabaseFiles();
    if (!cacheEntry.isEmpty())
        m_controller->addToCachedDatabaseFiles(cacheEntry);

    QPointer<PatientDocument> document = newPatient(QStringLiteral("AB-12"));
    m_alerts->answer(answer);
    QCOMPARE(document->lookUp(QStringLiteral("AB-12"), ask), found);
    QCOMPARE(m_alerts->alerts().size(), asked ? 1 : 0);
    if (asked) {
        const ScriptedAlertResponder::Record &alert = m_alerts->alerts().first();
        QCOMPARE(alert.messageText, QStringLiteral("Patient Data Found"));
        QCOMPARE(alert.informativeText,
                 QStringLiteral("A previously saved data file is available for patient 'AB-12'.  "
                                "Would you like to open it?"));
        QCOMPARE(alert.buttonTitles, QStringList({ "Open", "Cancel" }));
    }
    // Nothing opens before the caller is done.
    QCOMPARE(m_controller->documents().size(), 1);
    Scheduler::shared().advanceBy(0.0);

    Document *reopened = m_controller->documentForFileName(database(QStringLiteral("AB-12.maturix")));
    QCOMPARE(reopened != nullptr, opened);
    QCOMPARE(document->isClosed(), opened);
    // What was typed into the new document is in the patient's, unsaved.
    if (opened) {
        QCOMPARE(static_cast<PatientDocument *>(reopened)->text, QByteArray("savednew"));
        QVERIFY(reopened->isDocumentEdited());
    }
}

void tst_PatientFileSaving::save_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("databaseExists");
    QTest::addColumn<QString>("existing");   // a file already in the database folder
    QTest::addColumn<bool>("readFromIt");    // the document was opened from it
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("answer");     // to the question before replacing
    QTest::addColumn<QString>("panelChoice");// empty: cancel, "-": no panel expected
    QTest::addColumn<QString>("savedFile");  // empty: nothing written
    QTest::addColumn<bool>("reopened");      // else the document stays, tied to the file

    QTest::newRow("automatic: closes and reopens")
            << true << true << "" << false << "ab/12" << "" << "-" << "ab-12.maturix" << true;
    QTest::newRow("Save As with Auto Save: panel")
            << true << true << "AB-12.maturix" << true << "AB-12" << "" << "AB-12" << "AB-12.maturix"
            << false;
    QTest::newRow("automatic over another file: Replace")
            << true << true << "AB-12.maturix" << false << "AB-12" << "Replace" << "-"
            << "AB-12.maturix" << true;
    QTest::newRow("automatic over another file: Cancel")
            << true << true << "AB-12.maturix" << false << "AB-12" << "Cancel" << "-" << "" << false;
    QTest::newRow("panel: saved, stays") << false << true << "" << false << "AB/12" << ""
                                         << "AB-12" << "AB-12.maturix" << false;
    QTest::newRow("panel: cancelled, stays untitled")
            << false << true << "" << false << "AB/12" << "" << "" << "" << false;
    QTest::newRow("no identifier: panel") << true << true << "" << false << "" << "" << "other"
                                          << "other.maturix" << false;
    QTest::newRow("no database folder: panel") << true << false << "" << false << "AB-12" << ""
                                               << "" << "" << false;
}

void tst_PatientFileSaving::save()
{
    QFETCH(bool, autoSave);
    QFETCH(bool, databaseExists);
    QFETCH(QString, existing);
    QFETCH(bool, readFromIt);
    QFETCH(QString, identifier);
    QFETCH(QString, answer);
    QFETCH(QString, panelChoice);
    QFETCH(QString, savedFile);
    QFETCH(bool, reopened);

    defaults().setBool(autoSave, PreferenceKeys::AutoSave);
    if (!databaseExists)
        QVERIFY(QDir(database()).removeRecursively());
    if (!existing.isEmpty())
        QVERIFY(writeFile(database(existing), "earlier examinations"));

    QPointer<PatientDocument> document;
    if (readFromIt) {
        document = openPatient(database(existing));
        QVERIFY(document);
        document->setIdentifier(identifier);
        document->text = "new";
        document->updateChangeCount(Document::ChangeDone);
    } else {
        document = newPatient(identifier);
    }
    if (!answer.isEmpty())
        m_alerts->answerWithButton(answer);
    if (!panelChoice.isEmpty() && panelChoice != u'-')
        m_panels->choose(panelChoice);

    if (readFromIt)
        document->saveDocumentAs();
    else
        document->saveDocument();

    // The question before replacing, and only then.
    QCOMPARE(m_alerts->alerts().size(), answer.isEmpty() ? 0 : 1);
    if (!answer.isEmpty()) {
        const ScriptedAlertResponder::Record &alert = m_alerts->alerts().first();
        QCOMPARE(alert.messageText, QStringLiteral("A patient file named “AB-12.maturix” already exists."));
        QCOMPARE(alert.informativeText, QStringLiteral("Replacing it removes its examinations."));
        QCOMPARE(alert.buttonTitles, QStringList({ "Replace", "Cancel" }));
    }
    // A panel starts in the database folder and proposes the derived name.
    QCOMPARE(m_panels->panels().size(), panelChoice == u'-' ? 0 : 1);
    if (panelChoice != u'-') {
        const FilePanel &panel = m_panels->panels().first();
        QCOMPARE(panel.directory(), database());
        // A document with a file proposes that file.
        QCOMPARE(panel.nameFieldStringValue(),
                 readFromIt               ? existing
                         : identifier.isEmpty() ? QStringLiteral("Untitled")
                                                : QString(identifier).replace(u'/', u'-'));
    }

    if (savedFile.isEmpty()) {
        QVERIFY(!document->isClosed());
        QVERIFY(document->isDocumentEdited());
        if (!readFromIt)
            QVERIFY(document->fileURL().isEmpty());
        if (!existing.isEmpty())
            QCOMPARE(contents(database(existing)), QByteArray("earlier examinations"));
        return;
    }
    QCOMPARE(contents(database(savedFile)), QByteArray("new"));
    QVERIFY(!document->lookUpRequired());
    QVERIFY(m_controller->fileIsInCachedDatabaseFiles(QFileInfo(savedFile).completeBaseName()));
    // The user goes on in a window tied to the file.
    Document *again = m_controller->documentForFileName(database(savedFile));
    QVERIFY(again && again->window() && again->window()->isVisible());
    QVERIFY(!again->isDocumentEdited());
    QCOMPARE(document->isClosed(), reopened);
    QCOMPARE(again == document, !reopened);
}

void tst_PatientFileSaving::closeConfirmation_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("panelChoice");
    QTest::addColumn<QStringList>("buttons"); // empty: no question
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("savedFile");

    const QStringList automatic { "Save", "Don't Save", "Cancel" };
    const QStringList withPanel { "Save As...", "Don't Save", "Cancel" };
    QTest::newRow("unchanged: no question") << true << "AB-12" << false << "" << "" << QStringList()
                                            << true << "";
    QTest::newRow("automatic: Save, not reopened") << true << "AB-12" << true << "Save" << ""
                                                   << automatic << true << "AB-12.maturix";
    QTest::newRow("automatic: Don't Save") << true << "AB-12" << true << "Don't Save" << ""
                                           << automatic << true << "";
    QTest::newRow("automatic: Cancel") << true << "AB-12" << true << "Cancel" << "" << automatic
                                       << false << "";
    QTest::newRow("no identifier: Save As...") << true << "" << true << "Save As..." << "other"
                                               << withPanel << true << "other.maturix";
    QTest::newRow("Auto Save off: Save As..., panel cancelled")
            << false << "AB-12" << true << "Save As..." << "" << withPanel << false << "";
    QTest::newRow("Auto Save off: Cancel") << false << "AB-12" << true << "Cancel" << ""
                                           << withPanel << false << "";
}

void tst_PatientFileSaving::closeConfirmation()
{
    QFETCH(bool, autoSave);
    QFETCH(QString, identifier);
    QFETCH(bool, edited);
    QFETCH(QString, answer);
    QFETCH(QString, panelChoice);
    QFETCH(QStringList, buttons);
    QFETCH(bool, closed);
    QFETCH(QString, savedFile);

    defaults().setBool(autoSave, PreferenceKeys::AutoSave);
    QPointer<PatientDocument> document = newPatient(identifier);
    if (!edited)
        document->updateChangeCount(Document::ChangeCleared);
    if (!answer.isEmpty())
        m_alerts->answerWithButton(answer);
    if (!panelChoice.isEmpty())
        m_panels->choose(panelChoice);

    // The window's close box.
    document->window()->close();

    QCOMPARE(m_alerts->alerts().size(), buttons.isEmpty() ? 0 : 1);
    QCOMPARE(m_alerts->unmatchedAnswers(), 0);
    if (!buttons.isEmpty()) {
        const ScriptedAlertResponder::Record &alert = m_alerts->alerts().first();
        QCOMPARE(alert.messageText, QStringLiteral("Save changes to document?"));
        QCOMPARE(alert.informativeText, QString());
        QCOMPARE(alert.buttonTitles, buttons);
    }
    QCOMPARE(document->isClosed(), closed);
    QCOMPARE(QDir(database()).entryList(QDir::Files),
             savedFile.isEmpty() ? QStringList() : QStringList { savedFile });
    // A document being closed is never opened again.
    QCOMPARE(m_controller->documents().size(), closed ? 0 : 1);
}

void tst_PatientFileSaving::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<bool>("fullDisk");

    // The chosen folder is a file: the save fails before writing.
    QTest::newRow("panel into a file") << false << false;
    // An automatic save, agreed to replace the file, runs out of room part-way.
    QTest::newRow("disk full over a file") << true << true;
}

void tst_PatientFileSaving::failedSaveKeepsOldFile()
{
    QFETCH(bool, autoSave);
    QFETCH(bool, fullDisk);

    defaults().setBool(autoSave, PreferenceKeys::AutoSave);
    const QString old = database(QStringLiteral("AB-12.maturix"));
    const QByteArray oldContents = "earlier examinations";
    QVERIFY(writeFile(old, oldContents));
    QVERIFY(writeFile(m_home.filePath(QStringLiteral("notAFolder")), "x"));

    QPointer<PatientDocument> document = newPatient(QStringLiteral("AB-12"));
    document->text = QByteArray(256 * 1024, 'n');
    if (fullDisk)
        m_alerts->answerWithButton(QStringLiteral("Replace"));
    else
        m_panels->choose(m_home.filePath(QStringLiteral("notAFolder/AB-12.maturix")));
    {
        const FileSizeLimit limit(fullDisk ? 4096 : RLIM_INFINITY);
        document->saveDocument();
    }

    QCOMPARE(contents(old), oldContents);
    QCOMPARE(QDir(database()).entryList(QDir::Files), QStringList { "AB-12.maturix" });
    // Reported, and the document stays open, untitled, with its changes.
    QCOMPARE(m_alerts->alerts().size(), fullDisk ? 2 : 1);
    QVERIFY(m_alerts->alerts().last().messageText.contains(QStringLiteral("could not be saved")));
    QVERIFY(!document->isClosed());
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->fileURL().isEmpty());
    QCOMPARE(m_controller->documents().size(), 1);
}

void tst_PatientFileSaving::changedByAnotherProgram_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QString>("answer");  // empty: no save
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("text"); // of the document on show afterwards
    QTest::addColumn<bool>("reopened");   // a new document shows the file
    QTest::addColumn<bool>("notice");     // at the end

    const QByteArray theirs = "their examinations";
    QTest::newRow("unchanged: shows the new file") << false << "" << theirs << theirs << false
                                                   << false;
    QTest::newRow("edited: Save Anyway") << true << "Save Anyway" << QByteArray("new")
                                         << QByteArray("new") << false << false;
    QTest::newRow("edited: Revert") << true << "Revert" << theirs << theirs << false << false;
    QTest::newRow("edited: Cancel") << true << "Cancel" << theirs << QByteArray("new") << false
                                    << true;
}

void tst_PatientFileSaving::changedByAnotherProgram()
{
    QFETCH(bool, edited);
    QFETCH(QString, answer);
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, text);
    QFETCH(bool, reopened);
    QFETCH(bool, notice);

    const QString path = database(QStringLiteral("AB-12.maturix"));
    QVERIFY(writeFile(path, "earlier examinations"));
    QPointer<PatientDocument> document = openPatient(path);
    QVERIFY(document);
    document->setIdentifier(QStringLiteral("AB-12"));
    auto *noticeLabel = document->window()->findChild<QLabel *>(QStringLiteral("fileChangedNotice"));
    QVERIFY(noticeLabel && noticeLabel->isHidden());
    if (edited) {
        document->text = "new";
        document->updateChangeCount(Document::ChangeDone);
    }

    // Another workstation saves the patient; the periodic check sees it.
    QVERIFY(writeFile(path, "their examinations"));
    Scheduler::shared().advanceBy(FileWatcher::checkIntervalSeconds);
    QCOMPARE(noticeLabel->isVisible(), edited);
    if (edited)
        QCOMPARE(noticeLabel->text(),
                 QStringLiteral("The patient file has been changed by another program. Saving "
                                "asks before replacing those changes."));
    QVERIFY(m_alerts->alerts().isEmpty());

    if (!answer.isEmpty()) {
        // The save over its own file asks first.
        m_alerts->answerWithButton(answer);
        document->saveDocument();
        QCOMPARE(m_alerts->alerts().size(), 1);
        QCOMPARE(m_alerts->alerts().first().buttonTitles,
                 QStringList({ "Save Anyway", "Revert", "Cancel" }));
    }
    QCOMPARE(contents(path), file);
    QCOMPARE(document.isNull() || document->isClosed(), reopened);
    auto *shown = static_cast<PatientDocument *>(m_controller->documentForFileName(path));
    QVERIFY(shown);
    QCOMPARE(shown->text, text);
    QCOMPARE(shown->isDocumentEdited(), text != file);
    auto *shownNotice = shown->window()->findChild<QLabel *>(QStringLiteral("fileChangedNotice"));
    QCOMPARE(shownNotice->isVisible(), notice);
}

QTEST_MAIN(tst_PatientFileSaving)
#include "tst_patientfilesaving.moc"

void tst_PatientFileSaving::savedFilesStayPrivateAndInTheirFolder_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<QString>("link"); // at the destination: "", "to a file" or "dangling"
    QTest::addColumn<int>("fileMode"); // 0: refused, nothing written

    QTest::newRow("private folder") << 0755 << "" << 0600;
    QTest::newRow("group-writable folder") << 0775 << "" << 0660;
    QTest::newRow("set-group-ID folder") << 02755 << "" << 0660;
    QTest::newRow("link to a file elsewhere") << 0755 << "to a file" << 0;
    QTest::newRow("dangling link") << 0755 << "dangling" << 0;
}

// An automatic save, under the usual umask.
void tst_PatientFileSaving::savedFilesStayPrivateAndInTheirFolder()
{
    QFETCH(int, folderMode);
    QFETCH(QString, link);
    QFETCH(int, fileMode);

    const mode_t savedMask = ::umask(022);
    QCOMPARE(::chmod(QFile::encodeName(database()).constData(), mode_t(folderMode)), 0);
    const QString path = database(QStringLiteral("AB-12.maturix"));
    const QString outside = m_home.filePath(QStringLiteral("outside.maturix"));
    QFile::remove(outside);
    if (link == QStringLiteral("to a file"))
        QVERIFY(writeFile(outside, "another file"));
    if (!link.isEmpty())
        QVERIFY(QFile::link(outside, path));
    if (link == QStringLiteral("to a file"))
        m_alerts->answerWithButton(QStringLiteral("Replace"));

    QPointer<PatientDocument> document = newPatient(QStringLiteral("AB-12"));
    document->saveDocument();
    ::umask(savedMask);

    const QStringList entries =
            QDir(database()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QCOMPARE(entries, QStringList { QStringLiteral("AB-12.maturix") });
    if (fileMode == 0) {
        QCOMPARE(QFileInfo(path).symLinkTarget(), outside);
        QCOMPARE(contents(outside), link == QStringLiteral("to a file") ? QByteArray("another file") : QByteArray());
        QCOMPARE(QFileInfo::exists(outside), link == QStringLiteral("to a file"));
        QVERIFY(m_alerts->alerts().last().messageText.contains(QStringLiteral("could not be saved")));
        QVERIFY2(m_alerts->alerts().last().informativeText.contains(QStringLiteral("“AB-12.maturix”"))
                         && m_alerts->alerts().last().informativeText.contains(QStringLiteral("symbolic link")),
                 qPrintable(m_alerts->alerts().last().informativeText));
        QVERIFY(!document->isClosed());
        return;
    }
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), fileMode);
    QCOMPARE(contents(path), QByteArray("new"));
}
