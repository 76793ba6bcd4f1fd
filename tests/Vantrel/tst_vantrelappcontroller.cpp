#include "VantrelAppController.h"

#include "Document.h"
#include "FilePanel.h"
#include "KVDocument.h"
#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "Scheduler.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"
#include "UserDefaults.h"
#include "WaitController.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {
constexpr double day = 86400.0;
const QString noon = QStringLiteral("2026-12-08T12:00:00Z");

// The controller with its outside effects recorded: the status line, the
// start of a version check and the clock of the version-check interval.
class RecordingController : public VantrelAppController
{
public:
    QStringList statuses;
    QList<bool> versionChecks;
    AbsoluteDate now = AbsoluteDate::fromDateTime(QDateTime::fromString(noon, Qt::ISODate));

protected:
    void showStatusString(const QString &status) override
    {
        statuses.append(status);
        VantrelAppController::showStatusString(status);
    }
    void checkVersion(bool verbose) override { versionChecks.append(verbose); }
    AbsoluteDate currentDate() const override { return now; }
};
} // namespace

class tst_VantrelAppController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstRun_data();
    void firstRun();
    void automaticVersionCheck_data();
    void automaticVersionCheck();
    void versionCheckOutcome();
    void databaseCache_data();
    void databaseCache();
    void startupScript_data();
    void startupScript();
    void menuValidation_data();
    void menuValidation();
    void batchOpenOneAtATime();
    void openPanelStartsInDatabaseFolder();

private:
    void launch();
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_preferences;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<RecordingController> m_controller;
};

void tst_VantrelAppController::initTestCase()
{
    QVERIFY(m_home.isValid());
    // "~" in the preferences is this folder.
    qputenv("HOME", m_home.path().toLocal8Bit());
    Scheduler::shared().setManualClock(true);
}

void tst_VantrelAppController::init()
{
    m_preferences = std::make_unique<QTemporaryDir>();
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_preferences->filePath(QStringLiteral("prefs.ini"))));
    defaults().registerDefaults({ { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") } });
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_controller = std::make_unique<RecordingController>();
    m_controller->setDefaultType(QStringLiteral("maturix"));
    m_controller->setDocumentFactory([](const QString &) { return new TextDocument<KVDocument>; });
    m_controller->awakeFromNib();
}

void tst_VantrelAppController::cleanup()
{
    m_controller->applicationWillTerminate();
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    Scheduler::shared().setManualClock(true);
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
}

// A launch after the first: nothing is asked.
void tst_VantrelAppController::launch()
{
    defaults().setInteger(31, PreferenceKeys::VersionCheckInterval);
    m_controller->applicationDidFinishLaunching();
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_VantrelAppController::firstRun_data()
{
    QTest::addColumn<int>("updatesAnswer");
    QTest::addColumn<int>("databaseAnswer");
    QTest::addColumn<bool>("automaticCheck");
    QTest::addColumn<QString>("saveDirectory");

    QTest::newRow("check, set up") << 1 << 1 << true << "~/Documents/Maturix Data";
    QTest::newRow("don't check, no") << 0 << 0 << false << "~/Desktop/";
}

void tst_VantrelAppController::firstRun()
{
    QFETCH(int, updatesAnswer);
    QFETCH(int, databaseAnswer);
    QFETCH(bool, automaticCheck);
    QFETCH(QString, saveDirectory);

    m_alerts->answer(updatesAnswer);
    m_alerts->answer(databaseAnswer);
    m_controller->applicationDidFinishLaunching();

    const QList<ScriptedAlertResponder::Record> &alerts = m_alerts->alerts();
    QCOMPARE(alerts.size(), 2);
    QCOMPARE(alerts[0].messageText, QStringLiteral("Periodically check for updates?"));
    QCOMPARE(alerts[0].buttonTitles, QStringList({ "Check", "Don't Check" }));
    QCOMPARE(alerts[0].informativeText,
             QStringLiteral("You can change this setting later by choosing Preferences from the "
                            "Settings menu."));
    QCOMPARE(alerts[1].messageText, QStringLiteral("Set Up Database?"));
    QCOMPARE(alerts[1].buttonTitles, QStringList({ "Yes", "No" }));
    QCOMPARE(alerts[1].informativeText,
             QStringLiteral("Would you like to automatically configure the default database?\n\n"
                            "You can alter the default settings later in the preferences."));

    QCOMPARE(defaults().boolForKey(PreferenceKeys::AutomaticVersionCheck), automaticCheck);
    QCOMPARE(defaults().integerForKey(PreferenceKeys::VersionCheckInterval), 31);
    QCOMPARE(defaults().stringForKey(PreferenceKeys::SaveDirectory), saveDirectory);
    QCOMPARE(defaults().boolForKey(PreferenceKeys::AutoSave), databaseAnswer == 1);
    if (databaseAnswer == 1) {
        QVERIFY(QFileInfo(m_home.filePath("Documents/Maturix Data")).isDir());
        // Patient data is private to its owner.
        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(m_home.filePath("Documents/Maturix Data")).constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 07777), 0700);
    }

    // The next launch asks nothing.
    m_alerts->clear();
    m_controller->applicationDidFinishLaunching();
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_VantrelAppController::automaticVersionCheck_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<int>("interval");
    QTest::addColumn<double>("lastCheckAge"); // seconds; negative: never checked
    QTest::addColumn<bool>("checks");

    QTest::newRow("a second past the week") << true << 7 << 7 * day + 1 << true;
    QTest::newRow("exactly a week") << true << 7 << 7 * day << false;
    QTest::newRow("a week in the future") << true << 7 << -(7 * day + 1) << true;
    QTest::newRow("never checked") << true << 31 << qQNaN() << true;
    QTest::newRow("automatic check off") << false << 1 << qQNaN() << false;
}

void tst_VantrelAppController::automaticVersionCheck()
{
    QFETCH(bool, automatic);
    QFETCH(int, interval);
    QFETCH(double, lastCheckAge);
    QFETCH(bool, checks);

    defaults().setBool(automatic, PreferenceKeys::AutomaticVersionCheck);
    if (!qIsNaN(lastCheckAge)) {
        const double now = m_controller->now.secondsSinceReferenceDate();
        defaults().setDate(AbsoluteDate(now - lastCheckAge), PreferenceKeys::LastVersionCheckDate);
    }
    launch();
    defaults().setInteger(interval, PreferenceKeys::VersionCheckInterval);

    Scheduler::shared().advanceBy(1.99);
    QVERIFY(m_controller->versionChecks.isEmpty());
    Scheduler::shared().advanceBy(0.01);
    QCOMPARE(m_controller->versionChecks, checks ? QList<bool> { false } : QList<bool> {});
    QCOMPARE(m_controller->statuses.contains("Checking for new version..."), checks);

    // The menu command checks at once, verbosely, without a status line.
    m_controller->statuses.clear();
    m_controller->doCheckForNewVersion(nullptr);
    QCOMPARE(m_controller->versionChecks.last(), true);
    QVERIFY(m_controller->statuses.isEmpty());
}

void tst_VantrelAppController::versionCheckOutcome()
{
    launch();
    m_controller->doCheckForNewVersion(m_controller.get());
    m_controller->doCheckForNewVersion(nullptr);
    NotificationCenter &center = NotificationCenter::defaultCenter();

    m_controller->statuses.clear();
    center.post(QStringLiteral("VersionCheckUnsuccessful"));
    QCOMPARE(m_controller->statuses, QStringList { "Version check unsuccessful..." });
    QVERIFY(!defaults().hasStoredValue(PreferenceKeys::LastVersionCheckDate));

    // Reported once however often a check was started.
    m_controller->statuses.clear();
    center.post(QStringLiteral("VersionCheckSuccessful"));
    QCOMPARE(m_controller->statuses, QStringList { "Version check successful..." });
    QCOMPARE(defaults()
                     .dateForKey(PreferenceKeys::LastVersionCheckDate)
                     .value_or(AbsoluteDate())
                     .secondsSinceReferenceDate(),
             m_controller->now.secondsSinceReferenceDate());
}

void tst_VantrelAppController::databaseCache_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::newRow("auto save on") << true;
    QTest::newRow("auto save off") << false;
}

void tst_VantrelAppController::databaseCache()
{
    QFETCH(bool, autoSave);
    QTemporaryDir database;
    defaults().setBool(autoSave, PreferenceKeys::AutoSave);
    defaults().setString(database.path(), PreferenceKeys::SaveDirectory);
    launch();
    Scheduler &scheduler = Scheduler::shared();
    const QStringList caching { "Caching database...", "" };

    scheduler.advanceBy(1.5);
    QCOMPARE(m_controller->statuses.contains("Caching database..."), autoSave);
    scheduler.advanceBy(1.0);
    if (autoSave)
        QCOMPARE(m_controller->statuses.mid(m_controller->statuses.size() - 2), caching);

    // Scanned again every 10 s while the folder holds no patient file.
    QVERIFY(writeFile(database.filePath("AB123.maturix"), "x"));
    QVERIFY(writeFile(database.filePath("notes.txt"), "x"));
    QVERIFY(writeFile(database.filePath("AB124.Maturix"), "x"));
    QVERIFY(QDir(database.path()).mkpath("old"));
    QVERIFY(writeFile(database.filePath("old/CD9.maturix"), "x"));
    // A named pipe is never a patient file, whatever its name.
    QCOMPARE(::mkfifo(QFile::encodeName(database.filePath("x.maturix")).constData(), 0600), 0);
    scheduler.advanceBy(9.0);
    // In the order of the file system's listing.
    const auto cached = [this] {
        QStringList names = m_controller->cachedDatabaseFiles();
        names.sort();
        return names;
    };
    const QStringList found = autoSave ? QStringList { "AB123", "old/CD9" } : QStringList {};
    QCOMPARE(cached(), found);

    // Once something is cached no further scan runs.
    QVERIFY(writeFile(database.filePath("EF5.maturix"), "x"));
    m_controller->statuses.clear();
    scheduler.advanceBy(60.0);
    QCOMPARE(cached(), found);
    QVERIFY(!m_controller->statuses.contains("Caching database..."));

    QCOMPARE(m_controller->fileIsInCachedDatabaseFiles("AB123"), autoSave);
    QVERIFY(!m_controller->fileIsInCachedDatabaseFiles("ab123"));
    QVERIFY(!m_controller->fileIsInCachedDatabaseFiles("CD9"));
    // A save adds its name once, whatever the folder.
    m_controller->addToCachedDatabaseFiles(database.filePath("elsewhere/XY7.maturix"));
    m_controller->addToCachedDatabaseFiles("/tmp/XY7.maturix");
    QCOMPARE(m_controller->cachedDatabaseFiles().count("XY7"), 1);
    QVERIFY(m_controller->fileIsInCachedDatabaseFiles("XY7"));
}

void tst_VantrelAppController::startupScript_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("logLine"); // a pattern; empty for none

    const QString running = QStringLiteral("Running startup script...");
    const QString failed = QStringLiteral("Startup script error");
    QTest::newRow("none") << "" << QStringList {} << "";
    QTest::newRow("runs") << "var a = 1; a + 1" << QStringList { running } << "";
    QTest::newRow("throws") << "throw new Error('no printer');" << QStringList { running, failed }
                            << "^Startup script error: Error: no printer$";
    QTest::newRow("syntax error") << "var = ;" << QStringList { running, failed }
                                  << "^Startup script error: SyntaxError: ";
    QTest::newRow("never ends") << "for (;;) {}" << QStringList { running, failed }
                                << "^Startup script error: Interrupted";
}

void tst_VantrelAppController::startupScript()
{
    QFETCH(QString, script);
    QFETCH(QStringList, statuses);
    QFETCH(QString, logLine);

    defaults().setString(script, PreferenceKeys::LaunchScript);
    launch();
    if (!logLine.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(logLine));
    Scheduler::shared().advanceBy(0.49);
    QVERIFY(m_controller->statuses.isEmpty());
    Scheduler::shared().advanceBy(0.01);
    QCOMPARE(m_controller->statuses, statuses);
}

void tst_VantrelAppController::menuValidation_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("withDocument");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("Export, no document") << "&Export" << false << false;
    QTest::newRow("Export chart, no document") << "Export Chart…" << false << false;
    QTest::newRow("Export, document") << "E&xport" << true << true;
    QTest::newRow("Batch Export, no document") << "&Batch Export…" << false << true;
    QTest::newRow("Close All, no document") << "Close A&ll" << false << true;
    QTest::newRow("Preferences, document") << "Preferences…" << true << true;
}

void tst_VantrelAppController::menuValidation()
{
    QFETCH(QString, title);
    QFETCH(bool, withDocument);
    QFETCH(bool, enabled);

    if (withDocument)
        QVERIFY(m_controller->openUntitledDocumentAndDisplay(true));
    const QAction item(title);
    QCOMPARE(m_controller->validateMenuItem(&item), enabled);
}

void tst_VantrelAppController::batchOpenOneAtATime()
{
    QTemporaryDir folder;
    QStringList paths;
    for (const char *name : { "a.maturix", "b.maturix", "c.maturix", "open.maturix" }) {
        paths.append(folder.filePath(name));
        QVERIFY(writeFile(paths.last(), name));
    }
    QPointer<Document> edited = m_controller->openDocumentWithContentsOfFile(paths[3], true);
    QVERIFY(edited);
    edited->updateChangeCount(Document::ChangeDone);
    // An empty untitled window in front stays too.
    QPointer<Document> blank = m_controller->openUntitledDocumentAndDisplay(true);
    QVERIFY(blank && m_controller->currentDocument() == blank);

    // Each file is opened without a window on screen while the one before
    // is already closed; Cancel during the third stops after it.
    QStringList progress;
    int shown = 0;
    connect(m_controller.get(), &DocumentController::documentAdded, this, [&](Document *document) {
        shown += document->window() && document->window()->isVisible();
        shown += m_controller->documents().size() != 3;
        progress.append(m_controller->batchProgress()->statusString());
        if (progress.size() == 3)
            m_controller->cancelBatch();
    });
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &path : { paths[3], paths[0], paths[1], paths[2], paths[0] })
        center.post(QStringLiteral("BatchOpen"), path);
    QCOMPARE(m_controller->batchQueue().size(), 5);
    QCOMPARE(m_controller->batchProgress()->statusString(), QStringLiteral("Exporting charts: 0 of 5"));

    Scheduler::shared().advanceBy(0.0);

    QCOMPARE(progress, (QStringList { "Exporting charts: 1 of 5", "Exporting charts: 2 of 5",
                                      "Exporting charts: 3 of 5" }));
    QCOMPARE(shown, 0);
    QVERIFY(m_controller->batchQueue().isEmpty());
    QVERIFY(!m_controller->batchProgress());
    QCOMPARE(m_controller->documents(), (QList<Document *> { blank.data(), edited.data() }));
    // The document the user had open, with its changes, stays.
    QVERIFY(edited && !edited->isClosed() && edited->isDocumentEdited());
    QCOMPARE(lastWindowClosed.count(), 0);
}

void tst_VantrelAppController::openPanelStartsInDatabaseFolder()
{
    defaults().setString(QStringLiteral("~/Patients"), PreferenceKeys::SaveDirectory);
    ScriptedFilePanelResponder panels;
    m_controller->openDocument();
    QCOMPARE(panels.panels().size(), 1);
    QCOMPARE(panels.panels()[0].directory(), m_home.filePath("Patients"));
    QCOMPARE(panels.panels()[0].allowedFileTypes(), QStringList { "maturix" });
}

QTEST_MAIN(tst_VantrelAppController)
#include "tst_vantrelappcontroller.moc"
