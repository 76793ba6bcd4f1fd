#include "AbsoluteDate.h"
#include "ChartSample.h"
#include "DicomFileCheck.h"
#include "DistributedNotificationCenter.h"
#include "MalformedNotifications.h"
#include "Workspace.h"

#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The viewer with the plug-in installed, as real processes on this test's
// private session bus; this test plays Maturix.
static const QString applicationIdentifier = QStringLiteral(MATURIX_BUNDLE_IDENTIFIER);
static const QString linkName = applicationIdentifier + QStringLiteral(".osirixLink");

static QString sampleStudy(const QString &name)
{
    return QStringLiteral(PYDICOM_TEST_FILES "/") + name;
}

// osirix-host with its output collected.
class Viewer
{
public:
    Viewer(const QString &dataHome, const QStringList &arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&process, &QProcess::readyRead, [this] { output += process.readAll(); });
        process.start(QStringLiteral(OSIRIX_HOST), arguments);
    }
    ~Viewer()
    {
        process.terminate();
        if (!process.waitForFinished(10000))
            process.kill();
        process.waitForFinished(10000);
    }

    QProcess process;
    QByteArray output;
};

class tst_MaturixLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sendsLinkRequestForStudyOnShow_data();
    void sendsLinkRequestForStudyOnShow();
    void importsChartReturnsAsNumberedFiles();
    void installsDesktopEntryThatStartsIt();
    void survivesMalformedChartReturns_data();
    void survivesMalformedChartReturns();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_database;
    std::unique_ptr<Viewer> m_viewer;
};

void tst_MaturixLink::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
    // The plug-in installed where the viewer looks for it.
    const QString bundle
        = QDir(m_home.path())
              .absoluteFilePath(QStringLiteral("OsiriX/Plugins/MaturixLink.osirixplugin"));
    QVERIFY(QDir().mkpath(bundle));
    const QDir built(QStringLiteral(MATURIX_LINK_BUNDLE));
    for (const QString &name : built.entryList(QDir::Files))
        QVERIFY(QFile::copy(built.absoluteFilePath(name), QDir(bundle).absoluteFilePath(name)));
}

void tst_MaturixLink::sendsLinkRequestForStudyOnShow_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QVariantMap>("expected");

    // Sex "O" sends no gender; an empty birth date no "DateOfBirth", an
    // empty accession number no "AccessionNumber".
    QTest::newRow("CT, sex O") << QStringList { "CT_small.dcm" }
                               << QVariantMap { { "Name", "CompressedSamples^CT1" },
                                      { "Identifier", "1CT1" },
                                      { "DateOfStudy",
                                          QDateTime(QDate(2004, 1, 19), QTime(7, 27, 30)) },
                                      { "StudyInstanceUID",
                                          "1.3.6.1.4.1.5962.1.2.1.20040119072730.12322" },
                                      { "StudyID", "1CT1" } };
    // The first image of the viewer is on show.
    QTest::newRow("MR of MR and CT, sex F")
        << QStringList { "MR_small.dcm", "CT_small.dcm" }
        << QVariantMap { { "Name", "CompressedSamples^MR1" }, { "Identifier", "4MR1" },
               { "DateOfStudy", QDateTime(QDate(2004, 8, 26), QTime(18, 50, 59)) },
               { "Gender", qint64(2) },
               { "StudyInstanceUID", "1.3.6.1.4.1.5962.1.2.4.20040826185059.5457" },
               { "StudyID", "4MR1" } };
}

void tst_MaturixLink::sendsLinkRequestForStudyOnShow()
{
    QFETCH(QStringList, files);
    QFETCH(QVariantMap, expected);
    QStringList arguments { "--database", QString(), "--run-plugin", "MaturixLink" };
    for (const QString &file : files) {
        if (!QFile::exists(sampleStudy(file)))
            QSKIP("pydicom's sample files are not installed (python3-pydicom)");
        arguments.append(sampleStudy(file));
    }

    // Maturix runs (this process holds its name), so the plug-in only asks
    // it to come forward.
    Workspace &workspace = Workspace::sharedWorkspace();
    QVERIFY(workspace.registerRunningApplication(applicationIdentifier));
    QList<Notification> requests;
    QObject receiver;
    DistributedNotificationCenter::defaultCenter().addObserver(linkName,
        QStringLiteral("OsirixLink"), &receiver,
        [&requests](const Notification &notification) { requests.append(notification); });

    QTemporaryDir database;
    arguments[1] = database.path();
    Viewer viewer(m_home.path(), arguments);
    QTRY_COMPARE_WITH_TIMEOUT(requests.size(), 1, 30000);
    workspace.unregisterRunningApplication(applicationIdentifier);

    QVariantMap received = requests.first().userInfo;
    QCOMPARE(received.keys(), expected.keys());
    const QDateTime studyDate
        = received.take(QStringLiteral("DateOfStudy")).value<AbsoluteDate>().toDateTime();
    QCOMPARE(studyDate, expected.take(QStringLiteral("DateOfStudy")).toDateTime());
    QCOMPARE(received, expected);
}

void tst_MaturixLink::importsChartReturnsAsNumberedFiles()
{
    QTemporaryDir database;
    Viewer viewer(m_home.path(), { "--database", database.path() });
    QTRY_VERIFY_WITH_TIMEOUT(viewer.output.contains("Loaded plug-in MaturixLink"), 30000);

    const QByteArray jpeg = ChartSample::jpeg(ChartSample::chart(QImage::Format_RGB32));

    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    const QString object = QStringLiteral("OsirixLinkReturn");
    // Returns without usable chart data are ignored and take no number.
    center.postNotification(linkName, object, { { "Identifier", "no chart" } });
    center.postNotification(
        linkName, object, { { "Identifier", "bad chart" }, { "JPEG", QByteArray("not a JPEG") } });
    for (const char *identifier : { "12-345-6", "12-345-7", "12-345-8" })
        center.postNotification(linkName, object,
            { { "Name", "Doe^Jane" }, { "Identifier", identifier },
                { "StudyDescription", "Maturix Chart" }, { "DateOfBirth", QDate(2014, 3, 9) },
                { "OsiriXStudyID", "" }, { "JPEG", jpeg } });

    const QDir incoming(QDir(database.path()).absoluteFilePath(QStringLiteral("INCOMING.noindex")));
    QTRY_VERIFY_WITH_TIMEOUT(
        viewer.output.contains("Imported " + incoming.absoluteFilePath("VNL-10003-3.dcm").toUtf8()),
        30000);
    QCOMPARE(incoming.entryList(QDir::Files | QDir::Hidden, QDir::Name),
        QStringList({ "VNL-10001-1.dcm", "VNL-10002-2.dcm", "VNL-10003-3.dcm" }));
    QVERIFY(viewer.output.contains("without JPEG data ignored"));
    QVERIFY(viewer.output.contains("does not decode ignored"));

    const QStringList identifiers { "12-345-6", "12-345-7", "12-345-8" };
    for (int i = 0; i < 3; ++i) {
        const DicomFileCheck check(
            incoming.absoluteFilePath(incoming.entryList(QDir::Files, QDir::Name).at(i)));
        QVERIFY(check.loaded);
        const QStringList errors = check.verifierErrors();
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QCOMPARE(check.string(DCM_PatientID), identifiers.at(i));
        QCOMPARE(check.string(DCM_PatientName), QStringLiteral("Doe^Jane"));
        QCOMPARE(check.string(DCM_PatientBirthDate), QStringLiteral("20140309"));
        QCOMPARE(check.string(DCM_StudyDescription), QStringLiteral("Maturix Chart"));
        QCOMPARE(check.string(DCM_PhotometricInterpretation), QStringLiteral("RGB"));
        const QColor band = check.pixel(ChartSample::inBand.x(), ChartSample::inBand.y());
        QVERIFY2(ChartSample::isNear(band, ChartSample::bandColour, 6), qPrintable(band.name()));
    }
}

// Maturix counts the viewer as installed when this entry exists.
void tst_MaturixLink::installsDesktopEntryThatStartsIt()
{
    QTemporaryDir dataHome;
    QProcess install;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
    install.setProcessEnvironment(environment);
    install.start(QStringLiteral(OSIRIX_HOST), { "--install-desktop-entry" });
    QVERIFY(install.waitForFinished(30000));
    QCOMPARE(install.exitCode(), 0);
    QFile entry(dataHome.filePath(QStringLiteral("applications/com.quellmar.osirix.desktop")));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    QVERIFY(entry.readAll().contains("\nExec=\"" OSIRIX_HOST "\" %F\n"));
}

void tst_MaturixLink::survivesMalformedChartReturns_data()
{
    addMalformedNotificationRows(linkName, QStringLiteral("OsirixLinkReturn"));
}

// One viewer takes every message; after each it still reads a well-formed
// chart return (one without a chart, which it answers in its log).
void tst_MaturixLink::survivesMalformedChartReturns()
{
    QFETCH(QDBusMessage, message);
    QFETCH(bool, delivered);
    if (!m_viewer) {
        m_viewer = std::make_unique<Viewer>(m_home.path(),
                                            QStringList { "--database", m_database.path() });
        QTRY_VERIFY_WITH_TIMEOUT(m_viewer->output.contains("Loaded plug-in MaturixLink"), 30000);
    }
    const QByteArray answer = "Chart return without JPEG data ignored";
    const qsizetype before = m_viewer->output.count(answer);
    QVERIFY(QDBusConnection::sessionBus().send(message));
    DistributedNotificationCenter::defaultCenter().postNotification(
            linkName, QStringLiteral("OsirixLinkReturn"), { { "Identifier", "after" } });
    QTRY_COMPARE_WITH_TIMEOUT(m_viewer->output.count(answer), before + (delivered ? 2 : 1), 30000);
    QCOMPARE(m_viewer->process.state(), QProcess::Running);
}

QTEST_MAIN(tst_MaturixLink)
#include "tst_maturixlink.moc"
