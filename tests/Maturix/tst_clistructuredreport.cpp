#include "DicomFileCheck.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// The structured reports of a patient with three examinations, written by
// maturix-cli sr, checked by dicom3tools and DCMTK, and read back by
// maturix-cli sr-read to the values maturix-cli show computes.
class tst_CliStructuredReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsBackEachExamination_data();
    void readsBackEachExamination();
    void refusesWhatIsNotAReport_data();
    void refusesWhatIsNotAReport();

private:
    QTemporaryDir m_dir;
    QStringList m_reports;
    QJsonArray m_shownExams;
};

namespace {
// A girl: assessed with height, assessed without, not assessed.
const QByteArray patient = R"({"referenceString":"AB/12","nameString":"Doe^Jane","birthDate":"2004-06-01T00:00:00Z",
"gender":2,"exams":[{"examDate":"2014-06-01T00:00:00Z","maturixIndex":18,"height":138.5},
{"examDate":"2015-02-13T00:00:00Z","maturixIndex":19,"height":0},
{"examDate":"2015-06-01T00:00:00Z","maturixIndex":0,"height":144}]})";

QProcessEnvironment utc()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    return environment;
}
} // namespace

void tst_CliStructuredReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("patient.json"));
    QVERIFY(writeFile(path, patient));
    const QString folder = m_dir.filePath(QStringLiteral("reports"));
    QVERIFY(QDir().mkdir(folder));
    const CliResult written = runCli({ QStringLiteral("sr"), path, QStringLiteral("--out"), folder }, utc());
    QCOMPARE(written.status, 0);
    m_reports = QString::fromUtf8(written.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(m_reports, QStringList({ folder + QStringLiteral("/AB-12-2014-06-01.dcm"),
                                      folder + QStringLiteral("/AB-12-2015-02-13.dcm"),
                                      folder + QStringLiteral("/AB-12-2015-06-01.dcm") }));
    // A second run finds the files there and writes nothing.
    const CliResult again = runCli({ QStringLiteral("sr"), path, QStringLiteral("--out"), folder }, utc());
    QCOMPARE(again.status, 1);
    QVERIFY(again.err.contains("already exists"));

    const CliResult shown = runCli({ QStringLiteral("show"), path, QStringLiteral("--json") }, utc());
    QCOMPARE(shown.status, 0);
    m_shownExams = QJsonDocument::fromJson(shown.out).object().value(QStringLiteral("exams")).toArray();
    QCOMPARE(m_shownExams.size(), 3);
}

void tst_CliStructuredReport::readsBackEachExamination_data()
{
    QTest::addColumn<int>("exam");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    const QStringList assessed { QStringLiteral("maturix"), QStringLiteral("standard"), QStringLiteral("sdScore"),
                                 QStringLiteral("percentageHeightAchieved") };
    const QStringList measured { QStringLiteral("height"), QStringLiteral("predictedAdultHeight") };
    QTest::newRow("assessed with height") << 0 << assessed + measured << QStringList();
    QTest::newRow("assessed without height") << 1 << assessed << measured;
    QTest::newRow("not assessed") << 2 << QStringList { QStringLiteral("height") }
                                  << assessed + QStringList { QStringLiteral("predictedAdultHeight") };
}

void tst_CliStructuredReport::readsBackEachExamination()
{
    QFETCH(int, exam);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const QString report = m_reports.value(exam);

    const DicomFileCheck check(report);
    QVERIFY(check.loaded);
    QCOMPARE(check.verifierErrors(), QStringList());
    QCOMPARE(check.string(DCM_Modality), QStringLiteral("SR"));
    QCOMPARE(check.string(DCM_SeriesDescription), QStringLiteral("Maturix Report"));
    QCOMPARE(check.string(DCM_PatientID), QStringLiteral("AB/12"));
    // One study and one series for the whole run.
    const DicomFileCheck first(m_reports.value(0));
    QCOMPARE(check.string(DCM_StudyInstanceUID), first.string(DCM_StudyInstanceUID));
    QCOMPARE(check.string(DCM_SeriesInstanceUID), first.string(DCM_SeriesInstanceUID));

    QProcess dump;
    dump.start(QStringLiteral("dsrdump"), { report });
    QVERIFY(dump.waitForFinished(60000));
    QCOMPARE(dump.exitCode(), 0);
    QVERIFY(dump.readAllStandardOutput().contains(R"(<CONTAINER:(,,"Bones X-ray bone age")=SEPARATE>)"));

    const CliResult read = runCli({ QStringLiteral("sr-read"), report }, utc());
    QCOMPARE(read.status, 0);
    const QJsonObject values = QJsonDocument::fromJson(read.out).object();
    const QJsonObject shown = m_shownExams.at(exam).toObject();
    QCOMPARE(values.value(QStringLiteral("examDate")).toString(), shown.value(QStringLiteral("examDate")).toString().left(10));
    for (const QString &key : present)
        QVERIFY2(values.contains(key), qPrintable(key));
    for (const QString &key : absent)
        QVERIFY2(!values.contains(key), qPrintable(key));
    // The values show computes, exactly; what the report leaves out, show
    // gives as its neutral value.
    for (const char *key : { "chronologicalAge", "maturix", "meanMaturix", "standardDeviation",
                             "percentageHeightAchieved", "height" }) {
        const QString name = QString::fromLatin1(key);
        if (values.contains(name))
            QCOMPARE(values.value(name).toDouble(), shown.value(name).toDouble());
        else
            QVERIFY2(shown.value(name).toDouble() <= 0.0, key);
    }
    if (values.contains(QStringLiteral("standard")))
        QVERIFY(shown.value(QStringLiteral("maturixString")).toString().startsWith(values.value(QStringLiteral("standard")).toString()));
}

void tst_CliStructuredReport::refusesWhatIsNotAReport_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("reason");

    QTest::newRow("image, not a report") << contents(QStringLiteral(PYDICOM_TEST_FILES "/MR_small.dcm"))
                                         << QByteArray("Not a structured report");
    QTest::newRow("another report") << contents(QStringLiteral(PYDICOM_TEST_FILES "/test-SR.dcm"))
                                    << QByteArray("Not a bone-age report");
    // Where the cut falls varies with the report's UIDs, and with it DCMTK's
    // own words; our reason's start does not.
    QTest::newRow("truncated") << QByteArray() << QByteArray("Cannot read the DICOM data");
}

void tst_CliStructuredReport::refusesWhatIsNotAReport()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, reason);
    if (bytes.isEmpty()) {
        const QByteArray whole = contents(m_reports.value(0));
        bytes = whole.left(whole.size() * 2 / 3);
    }
    QVERIFY(!bytes.isEmpty());
    const QString path = m_dir.filePath(QStringLiteral("given.dcm"));
    QVERIFY(writeFile(path, bytes));
    const CliResult read = runCli({ QStringLiteral("sr-read"), path }, utc());
    QCOMPARE(read.status, 1);
    QVERIFY2(read.err.startsWith("maturix-cli sr-read: " + path.toUtf8() + ": "), read.err);
    QVERIFY2(read.err.contains(reason), read.err);
    QCOMPARE(read.err.count('\n'), 1);
    QVERIFY(read.out.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CliStructuredReport)
#include "tst_clistructuredreport.moc"
