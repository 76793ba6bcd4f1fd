#include "VantrelAppController.h"

#include "Logging.h"
#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "Scheduler.h"
#include "ScriptedAlertResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"
#include "UserDefaults.h"
#include "VantrelDocument.h"

#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <memory>

namespace {
// A patient document whose look-up finds the identifiers listed in
// knownFiles: it then opens that file and closes itself on the next turn,
// as a look-up with "Auto Save" on does.
class LinkDocument : public TextDocument<VantrelDocument>
{
public:
    static inline QHash<QString, QString> knownFiles;
    int examinations = 1;

    quint64 lastExam() const override { return quint64(examinations - 1); }
    void addExamination() override { m_currentExam = quint64(examinations++); }
    bool lookUp(const QString &key, bool askForConfirmation) override
    {
        if (askForConfirmation || !knownFiles.contains(key))
            return false;
        Scheduler::shared().performAfterDelay(0.0, this, [this, key] {
            if (VantrelAppController::sharedController()->openDocumentWithContentsOfFile(
                        knownFiles.value(key), true))
                close();
        });
        return true;
    }
    QString field(const char *name) const
    {
        return window()->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
    }
};

class LinkController : public VantrelAppController
{
public:
    QString pluginsFolder;

protected:
    QString applicationOsirixPluginsFolder() const override { return pluginsFolder; }
};

QString shortDate(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

AbsoluteDate localDate(int year, int month, int day)
{
    return AbsoluteDate::fromLocalDate(QDate(year, month, day));
}

// A plug-in bundle with its property list and library.
void makeBundle(const QString &path, const QString &version, const QByteArray &library = "ELF")
{
    QVERIFY(QDir().mkpath(path));
    QVERIFY(writeFile(path + "/Info.json",
                      R"({ "CFBundleName": "MaturixLink", "CFBundleVersion": ")" + version.toUtf8()
                              + R"(" })"));
    QVERIFY(writeFile(path + "/libMaturixLink.so", library));
}

// The link's log lines with the scheduler's time at which each was written.
QList<QPair<double, QString>> linkLog;
QtMessageHandler previousHandler = nullptr;

void recordLinkLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, lcLink().categoryName()) == 0)
        linkLog.append({ Scheduler::shared().now(), message });
    else
        previousHandler(type, context, message);
}
} // namespace

class tst_OsirixLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void linkRequest_data();
    void linkRequest();
    void linkRequestGoesToItsPatient_data();
    void linkRequestGoesToItsPatient();
    void linkRequestForKnownPatient_data();
    void linkRequestForKnownPatient();
    void chartReturnQueue();
    void pluginVersion_data();
    void pluginVersion();
    void installation_data();
    void installation();

private:
    LinkDocument *front() const { return static_cast<LinkDocument *>(m_controller->documents().value(0)); }
    QString installedBundle() const
    {
        return m_dataHome->filePath(QStringLiteral("OsiriX/Plugins/MaturixLink.osirixplugin"));
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dataHome;
    std::unique_ptr<QTemporaryDir> m_resources;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<LinkController> m_controller;
};

void tst_OsirixLink::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
    Scheduler::shared().setManualClock(true);
    previousHandler = qInstallMessageHandler(recordLinkLog);
}

void tst_OsirixLink::init()
{
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_home.filePath(QStringLiteral("prefs.ini"))));
    UserDefaults::standardUserDefaults().setInteger(31, PreferenceKeys::VersionCheckInterval);
    m_dataHome = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", m_dataHome->path().toLocal8Bit());
    m_resources = std::make_unique<QTemporaryDir>();
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_controller = std::make_unique<LinkController>();
    m_controller->pluginsFolder = m_resources->filePath(QStringLiteral("OsiriX Plugins"));
    m_controller->setDefaultType(QStringLiteral("maturix"));
    m_controller->setDocumentFactory([](const QString &) { return new LinkDocument; });
    m_controller->awakeFromNib();
    linkLog.clear();
}

void tst_OsirixLink::cleanup()
{
    m_controller->applicationWillTerminate();
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    Scheduler::shared().setManualClock(true);
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
    LinkDocument::knownFiles.clear();
}

void tst_OsirixLink::linkRequest_data()
{
    QTest::addColumn<bool>("documentOpen");
    QTest::addColumn<QVariantMap>("request");
    // Identifier, birth date, examination date, name, study ID; empty: ignored.
    QTest::addColumn<QStringList>("fields");

    const QVariant study = QVariant::fromValue(localDate(2026, 12, 1));
    const QVariant birth = QVariant::fromValue(localDate(2016, 2, 29));
    const QString studyText = shortDate(QDate(2026, 12, 1));
    const QString keptBirth = shortDate(QDate(2015, 1, 1));

    QTest::newRow("slashes in the identifier")
            << true
            << QVariantMap { { "Identifier", "12/345/6" }, { "Name", "Doe^Jane" },
                             { "DateOfBirth", birth }, { "DateOfStudy", study },
                             { "OsiriXStudyID", "1.2.3" } }
            << QStringList { "12-345-6", shortDate(QDate(2016, 2, 29)), studyText, "Doe^Jane",
                             "1.2.3" };
    QTest::newRow("no birth date, name or study ID")
            << true << QVariantMap { { "Identifier", "AB1" }, { "DateOfStudy", study } }
            << QStringList { "AB1", keptBirth, studyText, "", "" };
    QTest::newRow("no document open")
            << false << QVariantMap { { "Identifier", "AB1" }, { "DateOfStudy", study } }
            << QStringList { "AB1", "", studyText, "", "" };
    QTest::newRow("no identifier")
            << true << QVariantMap { { "Name", "Doe^Jane" }, { "DateOfStudy", study } }
            << QStringList {};
    QTest::newRow("no study date")
            << true << QVariantMap { { "Identifier", "AB1" } } << QStringList {};
    QTest::newRow("study date as text")
            << true << QVariantMap { { "Identifier", "AB1" }, { "DateOfStudy", "2026-12-01" } }
            << QStringList {};
    QTest::newRow("identifier as number")
            << true << QVariantMap { { "Identifier", qint64(12) }, { "DateOfStudy", study } }
            << QStringList {};
    QTest::newRow("empty identifier")
            << true << QVariantMap { { "Identifier", "" }, { "DateOfStudy", study } }
            << QStringList {};
    QTest::newRow("study date not finite")
            << true
            << QVariantMap { { "Identifier", "AB1" },
                             { "DateOfStudy", QVariant::fromValue(AbsoluteDate(qQNaN())) } }
            << QStringList {};
    QTest::newRow("study date in 1899")
            << true
            << QVariantMap { { "Identifier", "AB1" },
                             { "DateOfStudy", QVariant::fromValue(localDate(1899, 12, 31)) } }
            << QStringList {};
    QTest::newRow("birth date in 2101")
            << true
            << QVariantMap { { "Identifier", "AB1" }, { "DateOfStudy", study },
                             { "DateOfBirth", QVariant::fromValue(localDate(2101, 1, 1)) } }
            << QStringList {};
    QTest::newRow("birth date as number")
            << false
            << QVariantMap { { "Identifier", "AB1" }, { "DateOfStudy", study },
                             { "DateOfBirth", qint64(3) } }
            << QStringList {};
}

void tst_OsirixLink::linkRequest()
{
    QFETCH(bool, documentOpen);
    QFETCH(QVariantMap, request);
    QFETCH(QStringList, fields);

    // An untouched new document, which takes the patient.
    if (documentOpen) {
        QVERIFY(m_controller->openUntitledDocumentAndDisplay(true));
        front()->setBirthDate(localDate(2015, 1, 1));
        front()->setName(QStringLiteral("Old^Name"));
        front()->setOsiriXStudyID(QStringLiteral("9"));
    }
    const VantrelAppController::LinkOutcome outcome =
            m_controller->doLinkFromOsirix({ QString(), QStringLiteral("OsirixLink"), request });

    if (fields.isEmpty()) {
        QCOMPARE(outcome, VantrelAppController::LinkOutcome::Ignored);
        QCOMPARE(linkLog.size(), 1);
        QVERIFY(linkLog[0].second.startsWith("Link request ignored: "));
        QCOMPARE(m_controller->documents().size(), documentOpen ? 1 : 0);
        if (documentOpen)
            QVERIFY(!front()->isDocumentEdited());
        return;
    }
    QCOMPARE(outcome, VantrelAppController::LinkOutcome::Filled);
    QCOMPARE(m_controller->documents().size(), 1);
    const LinkDocument &document = *front();
    QCOMPARE(QStringList({ document.field("referenceIDField"), document.field("birthDateField"),
                           document.field("examDateField"), document.patientName(),
                           document.osiriXStudyID() }),
             fields);
    QVERIFY(document.isDocumentEdited());
}

void tst_OsirixLink::linkRequestGoesToItsPatient_data()
{
    // Identifiers of the open documents, each with unsaved edits, the last
    // in front.
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<VantrelAppController::LinkOutcome>("outcome");
    QTest::addColumn<int>("documents");

    using Outcome = VantrelAppController::LinkOutcome;
    QTest::newRow("another patient in front") << QStringList { "OTHER" } << Outcome::Filled << 2;
    QTest::newRow("the patient in front") << QStringList { "AB1" } << Outcome::Added << 1;
    QTest::newRow("the patient behind another")
            << QStringList { "AB1", "OTHER" } << Outcome::Added << 2;
    QTest::newRow("a file of another name in front")
            << QStringList { "AB1 in OTHER.maturix" } << Outcome::Filled << 2;
}

// A request fills no document that holds another patient, and adds to the
// patient's own without touching its edits.
void tst_OsirixLink::linkRequestGoesToItsPatient()
{
    QFETCH(QStringList, open);
    QFETCH(VantrelAppController::LinkOutcome, outcome);
    QFETCH(int, documents);

    QTemporaryDir folder;
    QList<QPointer<LinkDocument>> before;
    for (const QString &patient : open) {
        const QStringList parts = patient.split(QStringLiteral(" in "));
        if (parts.size() > 1)
            QVERIFY(writeFile(folder.filePath(parts[1]), "patient"));
        Document *document = parts.size() > 1
                ? m_controller->openDocumentWithContentsOfFile(folder.filePath(parts[1]), true)
                : m_controller->openUntitledDocumentAndDisplay(true);
        QVERIFY(document);
        before.append(static_cast<LinkDocument *>(document));
        before.last()->setIdentifier(parts[0]);
        before.last()->setBirthDate(localDate(2015, 1, 1));
        before.last()->updateChangeCount(Document::ChangeDone);
    }

    QCOMPARE(m_controller->doLinkFromOsirix(
                     { QString(), QStringLiteral("OsirixLink"),
                       { { "Identifier", "AB1" },
                         { "DateOfBirth", QVariant::fromValue(localDate(2016, 2, 29)) },
                         { "DateOfStudy", QVariant::fromValue(localDate(2026, 12, 1)) } } }),
             outcome);

    QCOMPARE(m_controller->documents().size(), documents);
    LinkDocument *patient = front();
    QCOMPARE(patient->field("referenceIDField"), QStringLiteral("AB1"));
    QCOMPARE(patient->field("examDateField"), shortDate(QDate(2026, 12, 1)));
    QVERIFY(patient->isDocumentEdited());
    const bool added = outcome == VantrelAppController::LinkOutcome::Added;
    QCOMPARE(patient->examinations, added ? 2 : 1);
    // The patient's own birth date stays; a new document takes the request's.
    QCOMPARE(patient->field("birthDateField"),
             shortDate(added ? QDate(2015, 1, 1) : QDate(2016, 2, 29)));
    for (const QPointer<LinkDocument> &other : before) {
        QVERIFY(other && !other->isClosed());
        QVERIFY(other->isDocumentEdited());
        if (other != patient)
            QCOMPARE(other->examinations, 1);
    }
}

void tst_OsirixLink::linkRequestForKnownPatient_data()
{
    QTest::addColumn<bool>("fileOpens");
    QTest::newRow("file opens") << true;
    QTest::newRow("file does not open") << false;
}

// The patient's own file opens in place of the front document, and 0.1 s
// later gains an examination of the study's date; who the patient is stays
// as the file has it. A file that does not open leaves the patient to a new
// document.
void tst_OsirixLink::linkRequestForKnownPatient()
{
    QFETCH(bool, fileOpens);
    QTemporaryDir database;
    const QString file = database.filePath(QStringLiteral("12-345-6.maturix"));
    // A file gone since the cache scan does not open.
    if (fileOpens)
        QVERIFY(writeFile(file, "patient"));
    LinkDocument::knownFiles.insert(QStringLiteral("12-345-6"), file);
    QPointer<Document> untitled = m_controller->openUntitledDocumentAndDisplay(true);

    // Through the bus's path: handed to the main loop first.
    m_controller->notifiedOfLinkFromOsirix(
            { m_controller->osirixLinkNotificationName(), QStringLiteral("OsirixLink"),
              { { "Identifier", "12/345/6" }, { "Name", "Doe^Jane" },
                { "DateOfBirth", QVariant::fromValue(localDate(2016, 2, 29)) },
                { "DateOfStudy", QVariant::fromValue(localDate(2026, 12, 1)) } } });
    QCOMPARE(m_controller->documents().size(), 1);
    QCoreApplication::processEvents();

    // The blank front document gives way to the patient's file, or closes
    // in vain when the file does not open.
    Scheduler::shared().advanceBy(0.0);
    QVERIFY(!untitled || untitled->isClosed());
    QCOMPARE(m_controller->documents().size(), fileOpens ? 1 : 0);
    if (fileOpens) {
        // As the file holds them.
        front()->setIdentifier(QStringLiteral("12-345-6"));
        front()->setBirthDate(localDate(2016, 3, 1));
        QCOMPARE(front()->examinations, 1);
    }

    Scheduler::shared().advanceBy(0.099);
    QCOMPARE(m_controller->documents().size(), fileOpens ? 1 : 0);
    Scheduler::shared().advanceBy(0.001);
    LinkDocument *patient = front();
    QVERIFY(patient);
    QCOMPARE(patient->fileName(), fileOpens ? file : QString());
    QCOMPARE(patient->examinations, fileOpens ? 2 : 1);
    QCOMPARE(patient->currentExam(), fileOpens ? 1u : 0u);
    QCOMPARE(patient->field("examDateField"), shortDate(QDate(2026, 12, 1)));
    QCOMPARE(patient->patientName(), QStringLiteral("Doe^Jane"));
    QCOMPARE(patient->field("birthDateField"),
             shortDate(fileOpens ? QDate(2016, 3, 1) : QDate(2016, 2, 29)));
    QCOMPARE(patient->field("referenceIDField"), QStringLiteral("12-345-6"));
    QVERIFY(patient->isDocumentEdited());
}

// Three chart messages queued at once leave at 1 s, 5 s and 9 s; the chain
// ends at 13 s. A message queued after the queue ran dry starts a chain of
// its own.
void tst_OsirixLink::chartReturnQueue()
{
    Scheduler &scheduler = Scheduler::shared();
    const double start = scheduler.now();
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const char *identifier : { "A1", "A2", "A3" })
        center.post(QStringLiteral("BatchExportToOsirix"),
                    QVariantMap { { "Identifier", identifier }, { "JPEG", QByteArray("jpeg") } });
    QCOMPARE(m_controller->exportToOsirixQueue().size(), 3);
    scheduler.advanceBy(13.0);
    QVERIFY(m_controller->exportToOsirixQueue().isEmpty());
    scheduler.advanceBy(0.5);
    center.post(QStringLiteral("BatchExportToOsirix"), QVariantMap { { "Identifier", "A4" } });
    scheduler.advanceBy(10.0);

    const QString queued = QStringLiteral("Batch export to osirix");
    const QString initialise = QStringLiteral("Initialise delayed batch export");
    const QStringList send { "Delayed batch export", "Sending notification to OsiriX plugin",
                             "Queue next delayed batch export" };
    const QStringList end { "Delayed batch export", "Zero items in array, exiting" };
    const QList<QPair<double, QStringList>> expected {
        { 0.0, { queued, initialise, queued, queued } },
        { 1.0, send }, { 5.0, send }, { 9.0, send }, { 13.0, end },
        { 13.5, { queued, initialise } }, { 14.5, send }, { 18.5, end },
    };
    QList<QPair<double, QStringList>> actual;
    for (const auto &[time, line] : std::as_const(linkLog)) {
        const double at = std::round((time - start) * 1000.0) / 1000.0;
        if (actual.isEmpty() || actual.last().first != at)
            actual.append(qMakePair(at, QStringList()));
        actual.last().second.append(line);
    }
    QCOMPARE(actual, expected);

    // Anything but a chart message is refused, not queued.
    linkLog.clear();
    center.post(QStringLiteral("BatchExportToOsirix"), QStringLiteral("not a dictionary"));
    QVERIFY(m_controller->exportToOsirixQueue().isEmpty());
    QCOMPARE(linkLog.last().second, QStringLiteral("Chart message ignored: not a dictionary"));
}

void tst_OsirixLink::pluginVersion_data()
{
    QTest::addColumn<QString>("ours"); // empty: the application carries none
    QTest::addColumn<QString>("installed"); // empty: none installed
    QTest::addColumn<bool>("current");

    QTest::newRow("same version") << "12" << "12" << true;
    QTest::newRow("12 against 12.0") << "12" << "12.0" << false;
    QTest::newRow("older installed") << "13" << "12" << false;
    QTest::newRow("none installed") << "12" << "" << false;
    QTest::newRow("none to install") << "" << "12" << true;
}

void tst_OsirixLink::pluginVersion()
{
    QFETCH(QString, ours);
    QFETCH(QString, installed);
    QFETCH(bool, current);

    if (!ours.isEmpty())
        makeBundle(m_controller->pluginsFolder + "/MaturixLink.osirixplugin", ours);
    if (!installed.isEmpty())
        makeBundle(installedBundle(), installed);
    QCOMPARE(m_controller->nameOfInstallableOsirixPlugin(),
             ours.isEmpty() ? QString() : QStringLiteral("MaturixLink.osirixplugin"));
    QCOMPARE(m_controller->osirixPluginVersionCurrent(), current);
}

void tst_OsirixLink::installation_data()
{
    QTest::addColumn<QString>("installed"); // version; empty: no plug-in folder at all
    QTest::addColumn<bool>("copyFails");
    QTest::addColumn<bool>("fromLaunchPrompt");

    QTest::newRow("into a missing folder") << "" << false << false;
    QTest::newRow("over an older copy, from the launch prompt") << "11" << false << true;
    QTest::newRow("copy fails, old copy stays") << "11" << true << false;
}

void tst_OsirixLink::installation()
{
    QFETCH(QString, installed);
    QFETCH(bool, copyFails);
    QFETCH(bool, fromLaunchPrompt);

    const QString ours = m_controller->pluginsFolder + "/MaturixLink.osirixplugin";
    makeBundle(ours, QStringLiteral("12"), "new library");
    // A pipe cannot be copied.
    if (copyFails)
        QCOMPARE(mkfifo(QFile::encodeName(ours + "/pipe").constData(), 0600), 0);
    if (!installed.isEmpty()) {
        makeBundle(installedBundle(), installed, "old library");
        QVERIFY(writeFile(installedBundle() + "/stale.txt", "from the old copy"));
    }

    if (fromLaunchPrompt) {
        // The viewer is installed and export to it is on.
        const QString entries = m_dataHome->filePath(QStringLiteral("applications"));
        QVERIFY(QDir().mkpath(entries));
        QVERIFY(writeFile(entries + "/com.quellmar.osirix.desktop",
                          "[Desktop Entry]\nType=Application\nName=OsiriX\nExec=true\n"));
        UserDefaults::standardUserDefaults().setBool(true, PreferenceKeys::ExportToOsiriX);
        m_alerts->answer(1);
        m_controller->applicationDidFinishLaunching();
    } else {
        NotificationCenter::defaultCenter().post(QStringLiteral("Install Plugin"));
    }

    QStringList messages;
    for (const ScriptedAlertResponder::Record &alert : m_alerts->alerts())
        messages << alert.messageText << alert.informativeText;
    const QStringList outcome = copyFails
            ? QStringList { "Installation Failed", "" }
            : QStringList { "Installation Succeeded",
                            "The plugin will be available the next time OsiriX is launched." };
    const QStringList prompt { "Update OsiriX Plugin",
                               "This is a recommended update of the OsiriX plugin." };
    QCOMPARE(messages, fromLaunchPrompt ? prompt + outcome : outcome);

    const QDir plugins(m_dataHome->filePath(QStringLiteral("OsiriX/Plugins")));
    // Nothing half-copied is left beside the plug-in.
    QCOMPARE(plugins.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList { "MaturixLink.osirixplugin" });
    QCOMPARE(contents(installedBundle() + "/libMaturixLink.so"),
             copyFails ? QByteArray("old library") : QByteArray("new library"));
    QCOMPARE(QFile::exists(installedBundle() + "/stale.txt"), copyFails);
    QCOMPARE(m_controller->osirixPluginVersionCurrent(), !copyFails);
    if (copyFails) {
        QCOMPARE(linkLog.size(), 1);
        QVERIFY(linkLog[0].second.startsWith("Copy plugin failed: "));
    }
}

QTEST_MAIN(tst_OsirixLink)
#include "tst_osirixlink.moc"
