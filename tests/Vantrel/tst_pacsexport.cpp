#include "ChartSample.h"
#include "OrthancServer.h"
#include "PacsChart.h"
#include "PacsExport.h"
#include "PacsPreferences.h"
#include "PreferenceKeys.h"
#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"

#include <QPushButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

class tst_PacsExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void batchAllStored();
    void batchWithPacsStoppedMidway();
    void interactiveFailure_data();
    void interactiveFailure();
    void cancelWhileThePacsIsSilent();
    void reportsNotStoredAreTold_data();
    void reportsNotStoredAreTold();

private:
    PacsExport::Chart chart(const QString &patientID,
                            const QString &name = QStringLiteral("Patient")) const;
    void setPacsPort(quint16 port);

    QTemporaryDir m_dir;
    OrthancServer m_server;
    std::unique_ptr<PacsExport> m_export;
};

void tst_PacsExport::initTestCase()
{
    QVERIFY2(m_server.start(), "Orthanc did not start");
}

void tst_PacsExport::init()
{
    auto defaults = std::make_unique<UserDefaults>(m_dir.filePath("prefs.ini"));
    defaults->registerDefaults({ { PreferenceKeys::PACSCalledAETitle, OrthancServer::aeTitle },
                                 { PreferenceKeys::PACSHost, "127.0.0.1" },
                                 { PreferenceKeys::PACSPort, m_server.dicomPort() },
                                 { PreferenceKeys::PACSCallingAETitle, "MATURIX" } });
    UserDefaults::setStandardUserDefaults(std::move(defaults));
    m_export = std::make_unique<PacsExport>();
}

void tst_PacsExport::cleanup()
{
    m_export.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
}

PacsExport::Chart tst_PacsExport::chart(const QString &patientID, const QString &name) const
{
    const QImage image = ChartSample::chart(QImage::Format_RGB32);
    QString error;
    const QByteArray dicom = PacsChart(image, name, patientID).data(&error);
    return { QStringLiteral("Patient %1").arg(patientID), dicom, error, ChartSample::jpeg(image),
             m_dir.filePath(patientID + QStringLiteral(".jpg")), {}, {} };
}

void tst_PacsExport::setPacsPort(quint16 port)
{
    PacsAddress address = PacsPreferences::address();
    address.port = port;
    PacsPreferences::setAddress(address);
}

void tst_PacsExport::batchAllStored()
{
    ScriptedAlertResponder alerts;
    QSignalSpy idle(m_export.get(), &PacsExport::idle);
    m_export->beginBatch();
    m_export->exportChart(chart("ALL-1"), false);
    m_export->exportChart(chart("ALL-2"), false);
    m_export->endBatch();
    // The answer may come before the export call has returned.
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 20000);
    QCOMPARE(alerts.messageTexts(), QStringList { "Charts stored in the PACS: 2 of 2" });
    QCOMPARE(alerts.alerts().first().buttonTitles, QStringList { "OK" });
    QVERIFY(!QFile::exists(m_dir.filePath("ALL-1.jpg")));
}

void tst_PacsExport::batchWithPacsStoppedMidway()
{
    ScriptedAlertResponder alerts;
    alerts.answerWithButton("Write Files");
    QSignalSpy idle(m_export.get(), &PacsExport::idle);
    m_export->beginBatch();
    m_export->exportChart(chart("MID-1"), false);
    QTRY_COMPARE_WITH_TIMEOUT(m_server.instancesOfPatient("MID-1").size(), 1, 20000);
    m_server.kill();
    m_export->exportChart(chart("MID-2"), false);
    m_export->exportChart(chart("MID-3"), false);
    m_export->endBatch();
    // The answer may come before the export call has returned.
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 20000);
    QVERIFY(m_server.start());

    QCOMPARE(alerts.messageTexts(), QStringList { "Charts stored in the PACS: 1 of 3" });
    const QStringList lines = alerts.alerts().first().informativeText.split(u'\n');
    QCOMPARE(lines.filter("Patient MID-").size(), 2);
    QVERIFY2(lines.at(1).startsWith("Patient MID-2: The PACS ORTHANC@127.0.0.1:"), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).startsWith("Patient MID-3: "), qPrintable(lines.at(2)));
    // The unsent charts as files; the stored one not.
    QVERIFY(!QFile::exists(m_dir.filePath("MID-1.jpg")));
    QCOMPARE(QImage(m_dir.filePath("MID-2.jpg")).size(), QSize(600, 450));
    QVERIFY(QFile::exists(m_dir.filePath("MID-3.jpg")));
}

void tst_PacsExport::interactiveFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("written");
    QTest::newRow("unreachable, written as a file")
            << "Patient" << "cannot be reached" << "Write File" << true;
    QTest::newRow("unreachable, not written") << "Patient" << "cannot be reached" << "Don't Write" << false;
    // A backslash in a name is made valid: the chart is still sent.
    QTest::newRow("backslash in the name") << "Doe\\Jane" << "cannot be reached" << "Write File" << true;
}

void tst_PacsExport::interactiveFailure()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QFETCH(QString, button);
    QFETCH(bool, written);

    setPacsPort(OrthancServer::freePort());
    ScriptedAlertResponder alerts;
    alerts.answerWithButton(button);
    QSignalSpy idle(m_export.get(), &PacsExport::idle);
    m_export->exportChart(chart("ALONE", name), true);
    // The answer may come before the export call has returned.
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 20000);
    QCOMPARE(alerts.messageTexts(), QStringList { "The chart could not be stored in the PACS" });
    QVERIFY2(alerts.alerts().first().informativeText.contains(reason),
             qPrintable(alerts.alerts().first().informativeText));
    QCOMPARE(alerts.unmatchedAnswers(), 0);
    QCOMPARE(QFile::exists(m_dir.filePath("ALONE.jpg")), written);
    QFile::remove(m_dir.filePath("ALONE.jpg"));
}

// A PACS that takes the connection and stays silent: the progress panel's
// Cancel ends the wait at once, and the chart is offered as a file.
void tst_PacsExport::cancelWhileThePacsIsSilent()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    setPacsPort(silent.serverPort());
    ScriptedAlertResponder alerts;
    alerts.answerWithButton(QStringLiteral("Write File"));
    QSignalSpy idle(m_export.get(), &PacsExport::idle);
    m_export->exportChart(chart("SILENT"), true);

    QPushButton *cancel = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *buttons = window->isVisible() ? window->findChild<QDialogButtonBox *>() : nullptr)
            cancel = buttons->button(QDialogButtonBox::Cancel);
    }
    QVERIFY(cancel && cancel->isVisible());
    QTest::mouseClick(cancel, Qt::LeftButton);

    QCOMPARE(idle.size(), 1);
    QCOMPARE(alerts.messageTexts(), QStringList { "The chart could not be stored in the PACS" });
    QVERIFY(alerts.alerts().first().informativeText.contains("cancelled"));
    QCOMPARE(QImage(m_dir.filePath("SILENT.jpg")).size(), QSize(600, 450));
    QVERIFY(!m_export->isBusy());
}

// The chart is stored, its reports not (all): the user is told so, and the
// stored chart is not offered as a file.
void tst_PacsExport::reportsNotStoredAreTold_data()
{
    QTest::addColumn<bool>("interactive");
    QTest::addColumn<QByteArray>("badReport");
    QTest::addColumn<QString>("reportsError");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("told");

    QTest::newRow("one refused") << true << QByteArray("not a DICOM file") << QString()
                                 << "The chart was stored in the PACS, but not all its reports"
                                 << "Patient REP-1 was stored in ORTHANC@127.0.0.1:PORT, but 1 of its 2 "
                                    "structured reports were not stored: ";
    QTest::newRow("none made, batch") << false << QByteArray() << "no memory left"
                                      << "Charts stored in the PACS: 0 of 1"
                                      << "Patient REP-2: the chart was stored, but its structured "
                                         "reports could not be made: no memory left";
}

void tst_PacsExport::reportsNotStoredAreTold()
{
    QFETCH(bool, interactive);
    QFETCH(QByteArray, badReport);
    QFETCH(QString, reportsError);
    QFETCH(QString, title);
    QFETCH(QString, told);

    setPacsPort(m_server.dicomPort());
    const QString patientID = interactive ? "REP-1" : "REP-2";
    PacsExport::Chart exported = chart(patientID);
    exported.reportsError = reportsError;
    if (!badReport.isEmpty())
        exported.reports = { chart(patientID).dicom, badReport };
    ScriptedAlertResponder alerts;
    QSignalSpy idle(m_export.get(), &PacsExport::idle);
    m_export->exportChart(exported, interactive);
    QTRY_VERIFY_WITH_TIMEOUT(!idle.isEmpty(), 20000);

    QCOMPARE(alerts.messageTexts(), QStringList { title });
    const QString text = alerts.alerts().first().informativeText;
    QVERIFY2(text.contains(told.replace("PORT", QString::number(m_server.dicomPort()))), qPrintable(text));
    QCOMPARE(m_server.instancesOfPatient(patientID).size(), interactive ? 2 : 1);
    QVERIFY(!QFile::exists(m_dir.filePath(patientID + ".jpg")));
}

QTEST_MAIN(tst_PacsExport)
#include "tst_pacsexport.moc"
