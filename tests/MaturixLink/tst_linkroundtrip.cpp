#include "Bundle.h"
#include "DicomFileCheck.h"
#include "MaturixApplicationController.h"
#include "MaturixDocument.h"
#include "PreferenceKeys.h"
#include "Scheduler.h"
#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"
#include "Workspace.h"

#include <QDBusConnection>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The whole link with real processes on this test's private session bus:
// Maturix's controller in this process installs its plug-in into the viewer
// stand-in, the viewer runs it on a study, Maturix fills the patient, and
// the charts its exports send back are stored beside the study.
namespace {
class TestController : public MaturixApplicationController
{
protected:
    // The build's copy, where a built Maturix finds it.
    QString applicationOsirixPluginsFolder() const override
    {
        return QStringLiteral(MATURIX_PLUGINS_RESOURCE);
    }
};
} // namespace

class tst_LinkRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void studyToChartsAndBack();

private:
    QTemporaryDir m_home;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<TestController> m_controller;
};

void tst_LinkRoundTrip::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
    if (!QFile::exists(QStringLiteral(PYDICOM_TEST_FILES "/MR_small.dcm")))
        QSKIP("pydicom's sample files are not installed (python3-pydicom)");
    qputenv("HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral(".local/share")).toLocal8Bit());
    Scheduler::shared().setManualClock(true);
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_home.filePath(QStringLiteral("prefs.ini"))));
    UserDefaults::standardUserDefaults().setInteger(31, PreferenceKeys::VersionCheckInterval);
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_controller = std::make_unique<TestController>();
    m_controller->awakeFromNib();
    // Maturix runs: the plug-in only asks it to come forward.
    QVERIFY(Workspace::sharedWorkspace().registerRunningApplication(Bundle::mainBundle().identifier()));
}

void tst_LinkRoundTrip::cleanupTestCase()
{
    if (!m_controller)
        return;
    m_controller->applicationWillTerminate();
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    Workspace::sharedWorkspace().unregisterRunningApplication(Bundle::mainBundle().identifier());
}

void tst_LinkRoundTrip::studyToChartsAndBack()
{
    m_controller->doInstallOsirixPlugin();
    QCOMPARE(m_alerts->alerts().size(), 1);
    QCOMPARE(m_alerts->alerts()[0].messageText, QStringLiteral("Installation Succeeded"));
    QVERIFY(m_controller->osirixPluginVersionCurrent());
    m_controller->applicationOpenFiles({});
    QCOMPARE(m_controller->documents().size(), 1);

    // The study: pydicom's MR sample, of a patient "AB/12", male.
    QTemporaryDir database;
    const QString study = database.filePath(QStringLiteral("study.dcm"));
    QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                               { "-c",
                                 "import sys, pydicom\n"
                                 "study = pydicom.dcmread(sys.argv[1])\n"
                                 "study.PatientID = 'AB/12'\n"
                                 "study.PatientSex = 'M'\n"
                                 "study.save_as(sys.argv[2])\n",
                                 QStringLiteral(PYDICOM_TEST_FILES "/MR_small.dcm"), study }),
             0);
    const DicomFileCheck source(study);
    QVERIFY(source.loaded);
    QProcess viewer;
    QByteArray output;
    viewer.setProcessChannelMode(QProcess::MergedChannels);
    connect(&viewer, &QProcess::readyRead, this, [&] { output += viewer.readAll(); });
    viewer.start(QStringLiteral(OSIRIX_HOST),
                 { "--database", database.path(), "--run-plugin", "MaturixLink",
                   study });
    const auto stopViewer = qScopeGuard([&viewer] {
        viewer.terminate();
        if (!viewer.waitForFinished(10000))
            viewer.kill();
        viewer.waitForFinished(10000);
    });

    auto *document = qobject_cast<MaturixDocument *>(m_controller->documents().value(0));
    QVERIFY(document);
    // The file-name form of the identifier, as the window shows it.
    QTRY_COMPARE_WITH_TIMEOUT(document->patientRecord()->referenceString(), QStringLiteral("AB-12"),
                              30000);
    const PatientRecord &patient = *document->patientRecord();
    QCOMPARE(patient.nameString(), QStringLiteral("CompressedSamples^MR1"));
    QCOMPARE(patient.gender(), 1);
    QCOMPARE(patient.examination(document->currentExam())->examDate()->toLocalDateTime().date(),
             QDate(2004, 8, 26));
    QVERIFY(document->isDocumentEdited());

    // An assessment, then three exports to the viewer, sent 1 s, 5 s and
    // 9 s later.
    UserDefaults::standardUserDefaults().setBool(true, PreferenceKeys::ExportToOsiriX);
    document->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2000, 1, 14)));
    document->setMaturix(QStringLiteral("6y 10m"));
    document->directUpdateDisplay();
    for (int i = 0; i < 3; ++i)
        QVERIFY(document->doExport(false));
    const QDir incoming(database.filePath(QStringLiteral("INCOMING.noindex")));
    for (const double seconds : { 1.0, 4.0, 4.0 })
        Scheduler::shared().advanceBy(seconds);
    QTRY_VERIFY_WITH_TIMEOUT(
            output.contains("Imported " + incoming.absoluteFilePath("VNL-10003-3.dcm").toUtf8()),
            30000);

    // Each chart was heard: no offer of the lost ones as files.
    QCOMPARE(m_alerts->alerts().size(), 1);

    const QStringList files = incoming.entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, QStringList({ "VNL-10001-1.dcm", "VNL-10002-2.dcm", "VNL-10003-3.dcm" }));
    for (const QString &name : files) {
        const DicomFileCheck check(incoming.absoluteFilePath(name));
        QVERIFY(check.loaded);
        const QStringList findings = check.verifierErrors() + check.verifierWarnings();
        QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
        // The patient as the viewer knows it, in the study the chart came from.
        QCOMPARE(check.string(DCM_PatientID), QStringLiteral("AB/12"));
        QCOMPARE(check.string(DCM_PatientSex), QStringLiteral("M"));
        QCOMPARE(check.string(DCM_StudyInstanceUID), source.string(DCM_StudyInstanceUID));
        QVERIFY(check.string(DCM_SeriesInstanceUID) != source.string(DCM_SeriesInstanceUID));
        QCOMPARE(check.string(DCM_SeriesDescription), QStringLiteral("Maturix Chart"));
        QCOMPARE(check.string(DCM_PatientName), QStringLiteral("CompressedSamples^MR1"));
        QCOMPARE(check.string(DCM_PatientBirthDate), QStringLiteral("20000114"));
        QCOMPARE(check.string(DCM_PhotometricInterpretation), QStringLiteral("RGB"));
    }
}

QTEST_MAIN(tst_LinkRoundTrip)
#include "tst_linkroundtrip.moc"
