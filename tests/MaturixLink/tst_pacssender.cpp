#include "ChartSample.h"
#include "OrthancServer.h"
#include "PacsChart.h"
#include "PacsSender.h"
#include "TestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
const QString secondaryCaptureClass = QStringLiteral("1.2.840.10008.5.1.4.1.1.7");

// Midday, so that the local date is the 14th in any time zone.
const QJsonArray oneExamination { QJsonObject {
        { "examDate", "2020-03-14T12:00:00Z" }, { "maturixIndex", 20 }, { "height", 140.0 } } };

QByteArray patientJson(const QString &patientID, const QJsonArray &exams)
{
    return QJsonDocument(QJsonObject {
                                 { "referenceString", patientID },
                                 { "nameString", "Jane Doe" },
                                 // Midday, so that the local date is the 14th in any time zone.
                                 { "birthDate", "2010-03-14T12:00:00Z" },
                                 { "gender", 2 },
                                 { "exams", exams },
                         })
            .toJson();
}
} // namespace

class tst_PacsSender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cliSendsChart();
    void cliSendsReportsIntoChartStudy();
    void cliFailures_data();
    void cliFailures();
    void echo_data();
    void echo();
    void stoppedMidBatch();
    void silentPacsFailsTheBatchOnce();

private:
    PacsAddress orthanc() const;
    QString writePatient(const QString &patientID, const QJsonArray &exams = oneExamination);

    QTemporaryDir m_dir;
    OrthancServer m_server;
};

void tst_PacsSender::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_server.start(), "Orthanc did not start");
}

PacsAddress tst_PacsSender::orthanc() const
{
    PacsAddress address;
    address.calledAETitle = OrthancServer::aeTitle;
    address.host = QStringLiteral("127.0.0.1");
    address.port = m_server.dicomPort();
    return address;
}

QString tst_PacsSender::writePatient(const QString &patientID, const QJsonArray &exams)
{
    const QString path = m_dir.filePath(patientID + QStringLiteral(".json"));
    return writeFile(path, patientJson(patientID, exams)) ? path : QString();
}

void tst_PacsSender::cliSendsChart()
{
    const CliResult result = runCli({ "send", writePatient("GP-1"), "--pacs", orthanc().toString() });
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);

    const QList<QJsonObject> instances = m_server.instancesOfPatient("GP-1");
    QCOMPARE(instances.size(), 1);
    const QJsonObject &tags = instances.first();
    QCOMPARE(tags["SOPClassUID"].toString(), secondaryCaptureClass);
    QCOMPARE(tags["PatientName"].toString(), "Jane Doe");
    QCOMPARE(tags["PatientID"].toString(), "GP-1");
    QCOMPARE(tags["PatientBirthDate"].toString(), "20100314");
    QCOMPARE(tags["PatientSex"].toString(), "F");
    QCOMPARE(tags["StudyDescription"].toString(), "Maturix Chart");
    QCOMPARE(tags["SeriesDescription"].toString(), "Maturix Chart");
    QCOMPARE(tags["PhotometricInterpretation"].toString(), "RGB");
    QCOMPARE(tags["Columns"].toString(), "600");
    QCOMPARE(tags["Rows"].toString(), "450");
}

void tst_PacsSender::cliSendsReportsIntoChartStudy()
{
    const QList<int> standards { 20, 16, 18 };
    QJsonArray exams;
    for (int year = 2018; year <= 2020; ++year)
        exams.append(QJsonObject { { "examDate", QStringLiteral("%1-03-14T12:00:00Z").arg(year) },
                                   { "maturixIndex", standards.at(year - 2018) } });
    const CliResult result = runCli(
            { "send", writePatient("GP-SR", exams), "--pacs", orthanc().toString(), "--with-sr" });
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);

    const QJsonArray found = m_server.post(QStringLiteral("/tools/find"),
                                           { { "Level", "Instance" },
                                             { "Query", QJsonObject { { "PatientID", "GP-SR" } } } })
                                     .array();
    QJsonObject chart;
    QList<QJsonObject> reports;
    QString reportID;
    for (const QJsonValue &id : found) {
        const QJsonObject tags
                = m_server.get(QStringLiteral("/instances/%1/simplified-tags").arg(id.toString())).object();
        if (tags["Modality"].toString() != "SR") {
            chart = tags;
            continue;
        }
        reports.append(tags);
        reportID = id.toString();
    }
    QCOMPARE(chart["SOPClassUID"].toString(), secondaryCaptureClass);
    QCOMPARE(reports.size(), exams.size());
    for (const QJsonObject &report : reports) {
        QCOMPARE(report["PatientID"].toString(), "GP-SR");
        QCOMPARE(report["StudyInstanceUID"].toString(), chart["StudyInstanceUID"].toString());
        QCOMPARE(report["SeriesInstanceUID"].toString(), reports.first()["SeriesInstanceUID"].toString());
    }
    QVERIFY(reports.first()["SeriesInstanceUID"] != chart["SeriesInstanceUID"]);

    // What the PACS holds reads back to the bone age the file gives.
    const QString stored = m_dir.filePath("stored-sr.dcm");
    QVERIFY(writeFile(stored, m_server.download(QStringLiteral("/instances/%1/file").arg(reportID))));
    const CliResult read = runCli({ "sr-read", stored });
    QCOMPARE(read.status, 0);
    const QJsonObject values = QJsonDocument::fromJson(read.out).object();
    const QString examDate = values["examDate"].toString();
    const int standard = standards.at(examDate.left(4).toInt() - 2018);
    const CliResult assessed = runCli({ "assess", "--sex", "female", "--birth", "2010-03-14", "--exam",
                                        examDate.left(10), "--standard", QString::number(standard), "--json" });
    QCOMPARE(assessed.status, 0);
    QCOMPARE(values["maturix"].toDouble(), QJsonDocument::fromJson(assessed.out)["maturix"].toDouble());
}

void tst_PacsSender::cliFailures_data()
{
    QTest::addColumn<QString>("pacs");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");

    const QString port = QString::number(m_server.dicomPort());
    QTest::newRow("wrong called AE title")
            << "NOTORTHANC@127.0.0.1:" + port << QStringList() << 1 << "refused the association";
    QTest::newRow("nothing listening") << "ORTHANC@127.0.0.1:" + QString::number(OrthancServer::freePort())
                                       << QStringList() << 1 << "cannot be reached";
    QTest::newRow("no port") << "ORTHANC@127.0.0.1" << QStringList() << 2 << "AET@HOST:PORT";
    QTest::newRow("calling AE title too long")
            << "ORTHANC@127.0.0.1:" + port << QStringList { "--calling", "SEVENTEEN-LETTERS" } << 2
            << "calling AE title";
}

void tst_PacsSender::cliFailures()
{
    QFETCH(QString, pacs);
    QFETCH(QStringList, extra);
    QFETCH(int, status);
    QFETCH(QString, reason);

    const QString patientID = QStringLiteral("FAIL-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    const CliResult result = runCli(QStringList { "send", writePatient(patientID), "--pacs", pacs } + extra);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(reason.toUtf8()), result.err.constData());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY(m_server.instancesOfPatient(patientID).isEmpty());
}

void tst_PacsSender::echo_data()
{
    QTest::addColumn<QString>("calledAETitle");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("reason");

    QTest::newRow("success") << OrthancServer::aeTitle << true << QString();
    QTest::newRow("wrong called AE title") << "NOTORTHANC" << true << "refused the association";
    QTest::newRow("nothing listening") << OrthancServer::aeTitle << false << "cannot be reached";
}

void tst_PacsSender::echo()
{
    QFETCH(QString, calledAETitle);
    QFETCH(bool, listening);
    QFETCH(QString, reason);

    PacsAddress address = orthanc();
    address.calledAETitle = calledAETitle;
    if (!listening)
        address.port = OrthancServer::freePort();
    std::optional<PacsResult> result;
    QThread *deliveredOn = nullptr;
    PacsSender::echoInBackground(address, this, [&](const PacsResult &echoed) {
        result = echoed;
        deliveredOn = QThread::currentThread();
    });
    QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000);
    QCOMPARE(deliveredOn, thread());
    QCOMPARE(result->confirmed, reason.isEmpty());
    QVERIFY2(result->reason.contains(reason), qPrintable(result->reason));
}

void tst_PacsSender::stoppedMidBatch()
{
    QList<QByteArray> charts;
    for (int i = 0; i < 5; ++i) {
        PacsChart chart(ChartSample::chart(QImage::Format_RGB32), "Batch Patient",
                        QStringLiteral("BATCH-%1").arg(i));
        charts.append(chart.data());
        QVERIFY(!charts.last().isEmpty());
    }
    const QList<PacsResult> results
            = PacsSender::store(orthanc(), charts, [this](qsizetype index, const PacsResult &) {
                  if (index == 1)
                      m_server.kill();
              });
    QVERIFY(m_server.start());

    QCOMPARE(results.size(), charts.size());
    for (int i = 0; i < 5; ++i) {
        const QString patientID = QStringLiteral("BATCH-%1").arg(i);
        QCOMPARE(results[i].confirmed, i < 2);
        QCOMPARE(results[i].reason.isEmpty(), i < 2);
        // Confirmed exactly when the PACS holds it.
        QCOMPARE(m_server.instancesOfPatient(patientID).size(), i < 2 ? 1 : 0);
    }
}

// A PACS that takes the connection and never answers costs the batch its
// time for answers once: every chart fails with that reason, after a single
// attempt.
void tst_PacsSender::silentPacsFailsTheBatchOnce()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QByteArray chart
            = PacsChart(ChartSample::chart(QImage::Format_RGB32), "Silent", "SILENT").data();
    PacsAddress address = orthanc();
    address.port = silent.serverPort();

    const QList<PacsResult> results = PacsSender::store(address, { chart, chart, chart });

    QCOMPARE(results.size(), 3);
    for (const PacsResult &result : results) {
        QVERIFY(!result.confirmed);
        QVERIFY2(result.reason.contains("did not answer"), qPrintable(result.reason));
    }
    int connections = 0;
    while (silent.waitForNewConnection(0) && silent.hasPendingConnections()) {
        while (QTcpSocket *connection = silent.nextPendingConnection()) {
            delete connection;
            ++connections;
        }
    }
    QCOMPARE(connections, 1);
}

QTEST_MAIN(tst_PacsSender)
#include "tst_pacssender.moc"
