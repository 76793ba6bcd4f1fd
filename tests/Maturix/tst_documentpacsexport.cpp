#include "MaturixDocument.h"
#include "NotificationCenter.h"
#include "OrthancServer.h"
#include "PacsExport.h"
#include "PreferenceKeys.h"
#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QComboBox>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A patient's chart exported from its document, and a batch of patient
// files, end up in a real PACS under the patient.
class tst_DocumentPacsExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void interactiveExportIsStoredUnderThePatient();
    void batchExportReportsWhatWasStored();
    void quittingWaitsForTheAnswer();

private:
    MaturixDocument *newPatient(const QString &identifier, const QString &name);

    OrthancServer m_server;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<VantrelAppController> m_controller;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
};

void tst_DocumentPacsExport::initTestCase()
{
    QVERIFY2(m_server.start(), "Orthanc did not start");
}

void tst_DocumentPacsExport::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", m_home->path().toLocal8Bit());
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("Patients")));
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("Exports")));
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_home->filePath(QStringLiteral("defaults.ini"))));
    m_controller = std::make_unique<VantrelAppController>();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.registerDefaults({ { PreferenceKeys::SaveDirectory, QStringLiteral("~/Patients/") },
                                { PreferenceKeys::ExportDirectory, QStringLiteral("~/Exports/") } });
    defaults.setBool(true, PreferenceKeys::ExportToPACS);
    defaults.setObject(OrthancServer::aeTitle, PreferenceKeys::PACSCalledAETitle);
    defaults.setObject(QStringLiteral("127.0.0.1"), PreferenceKeys::PACSHost);
    defaults.setInteger(m_server.dicomPort(), PreferenceKeys::PACSPort);
    m_controller->setDefaultType(QStringLiteral("maturix"));
    m_controller->setDocumentFactory([](const QString &) { return new MaturixDocument; });
    m_alerts = std::make_unique<ScriptedAlertResponder>();
}

void tst_DocumentPacsExport::cleanup()
{
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
    m_home.reset();
}

MaturixDocument *tst_DocumentPacsExport::newPatient(const QString &identifier, const QString &name)
{
    auto *document = qobject_cast<MaturixDocument *>(m_controller->openUntitledDocumentAndDisplay(true));
    if (!document)
        return nullptr;
    document->setIdentifier(identifier);
    document->setName(name);
    document->setGender(1);
    document->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2012, 3, 9)));
    document->setExamDate(AbsoluteDate::fromLocalDate(QDate(2022, 5, 1)));
    document->window()->findChild<QComboBox *>(QStringLiteral("maleMaturixPopUp"))->setCurrentIndex(14);
    document->directUpdateDisplayAndSetDirty();
    return document;
}

void tst_DocumentPacsExport::interactiveExportIsStoredUnderThePatient()
{
    MaturixDocument *document = newPatient(QStringLiteral("PW-1"), QStringLiteral("Doe^John"));
    QVERIFY(document);
    QSignalSpy idle(&PacsExport::shared(), &PacsExport::idle);
    QVERIFY(document->doExport(true));
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 30000);

    QCOMPARE(m_alerts->messageTexts(), QStringList { "The chart was stored in the PACS" });
    // The chart, and the examination's structured report in its study.
    QList<QJsonObject> instances = m_server.instancesOfPatient(QStringLiteral("PW-1"));
    QCOMPARE(instances.size(), 2);
    if (instances.first()["Modality"].toString() == "SR")
        instances.swapItemsAt(0, 1);
    QCOMPARE(instances.last()["StudyInstanceUID"], instances.first()["StudyInstanceUID"]);
    const QJsonObject &tags = instances.first();
    QCOMPARE(tags["PatientName"].toString(), "Doe^John");
    QCOMPARE(tags["PatientBirthDate"].toString(), "20120309");
    QCOMPARE(tags["PatientSex"].toString(), "M");
    QCOMPARE(tags["StudyDescription"].toString(), "Maturix Chart");
    // The chart alone, at its size in the window.
    QCOMPARE(tags["Columns"].toString().toInt(), document->graphView()->width());
    QCOMPARE(tags["Rows"].toString().toInt(), document->graphView()->height());
    QVERIFY(QDir(m_home->filePath(QStringLiteral("Exports"))).isEmpty());
}

void tst_DocumentPacsExport::batchExportReportsWhatWasStored()
{
    const QStringList identifiers { QStringLiteral("PB-1"), QStringLiteral("PB-2") };
    for (const QString &identifier : identifiers) {
        MaturixDocument *document = newPatient(identifier, QStringLiteral("Batch^") + identifier);
        QVERIFY(document);
        document->saveToURL(QUrl::fromLocalFile(m_home->filePath("Patients/" + identifier + ".maturix")),
                            QStringLiteral("maturix"), Document::SaveOperation, {});
        document->close();
    }
    QSignalSpy idle(&PacsExport::shared(), &PacsExport::idle);
    for (const QString &identifier : identifiers)
        m_controller->batchOpen({ QStringLiteral("BatchOpen"),
                                  m_home->filePath("Patients/" + identifier + ".maturix"), {} });
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 30000);

    QCOMPARE(m_alerts->messageTexts(), QStringList { "Charts stored in the PACS: 2 of 2" });
    // Each chart with its examination's structured report.
    for (const QString &identifier : identifiers)
        QCOMPARE(m_server.instancesOfPatient(identifier).size(), 2);
}

void tst_DocumentPacsExport::quittingWaitsForTheAnswer()
{
    UserDefaults::standardUserDefaults().setInteger(OrthancServer::freePort(), PreferenceKeys::PACSPort);
    MaturixDocument *document = newPatient(QStringLiteral("PQ-1"), QStringLiteral("Quit^Early"));
    QVERIFY(document);
    m_alerts->answerWithButton(QStringLiteral("Write File"));
    QVERIFY(document->doExport(true));
    m_controller->applicationWillTerminate();

    // Told, and kept as a file, before the application is gone.
    QCOMPARE(m_alerts->messageTexts(), QStringList { "The chart could not be stored in the PACS" });
    QCOMPARE(QDir(m_home->filePath(QStringLiteral("Exports"))).entryList(QDir::Files).size(), 1);
}

QTEST_MAIN(tst_DocumentPacsExport)
#include "tst_documentpacsexport.moc"
