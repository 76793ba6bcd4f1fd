#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

// maturix-cli fhir as a health record's import takes it: a Bundle valid
// under HL7's FHIR R4 JSON schema, with the codes a record looks for and
// the exact values that maturix-cli assess computes.
class tst_CliFhir : public QObject
{
    Q_OBJECT

private slots:
    void bundle_data();
    void bundle();
};

namespace {
const QString loinc = QStringLiteral("http://loinc.org");

// A girl born on 1 June 2004; `exams` as the patient file's JSON keeps them.
QByteArray patient(const QString &exams)
{
    return QStringLiteral(
        R"({"referenceString":"R|1","nameString":"Roe^Ann","birthDate":"2004-06-01T00:00:00Z",)"
        R"("gender":2,"exams":[%1]})")
        .arg(exams)
        .toUtf8();
}

QString exam(const QString &date, int standard, double height)
{
    const QString dated
        = date.isEmpty() ? QString() : QStringLiteral(R"("examDate":"%1T00:00:00Z",)").arg(date);
    return QStringLiteral(R"({%1"maturixIndex":%2,"height":%3})")
        .arg(dated)
        .arg(standard)
        .arg(height);
}

// One line per entry: the Patient's sex and birth date, or an
// observation's code system and code, date, unit and interpretation.
QString summary(const QJsonObject &resource)
{
    if (resource[u"resourceType"].toString() == u"Patient")
        return QStringLiteral("Patient %1 %2")
            .arg(resource[u"gender"].toString(), resource[u"birthDate"].toString());
    const QJsonObject coding = resource[u"code"][u"coding"][0].toObject();
    QString line
        = QStringLiteral("%1 %2 %3 %4")
              .arg(coding[u"system"] == loinc ? QStringLiteral("LOINC") : QStringLiteral("own"),
                  coding[u"code"].toString(), resource[u"effectiveDateTime"].toString(),
                  resource[u"valueQuantity"][u"code"].toString());
    if (resource.contains(u"interpretation"))
        line += u' ' + resource[u"interpretation"][0][u"coding"][0][u"code"].toString();
    for (const QJsonValue component : resource[u"component"].toArray())
        line += QStringLiteral(" +") + component[u"code"][u"coding"][0][u"code"].toString();
    return line;
}
} // namespace

void tst_CliFhir::bundle_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("assessExam");
    QTest::addColumn<QByteArray>("warning");

    const QString patientLine = QStringLiteral("Patient female 2004-06-01");
    const auto assessed = [](const QString &date, const QString &interpretation) {
        return QStringList {
            QStringLiteral("LOINC 85151-9 %1 a %2 +85150-1 +bone-age-sd-score")
                .arg(date, interpretation),
            QStringLiteral("LOINC 8302-2 %1 cm").arg(date),
            QStringLiteral("own predicted-adult-height %1 cm +percentage-of-adult-height").arg(date)
        };
    };
    QTest::newRow("three examinations, assessed and measured")
        << QString()
        << patient(exam(QStringLiteral("2014-06-01"), 18, 138.5) + u','
               + exam(QStringLiteral("2015-06-01"), 24, 144) + u','
               + exam(QStringLiteral("2016-06-01"), 17, 150))
        << QStringList { patientLine } + assessed(QStringLiteral("2014-06-01"), QStringLiteral("N"))
            + assessed(QStringLiteral("2015-06-01"), QStringLiteral("H"))
            + assessed(QStringLiteral("2016-06-01"), QStringLiteral("L"))
        << QStringList { QStringLiteral("--exam"), QStringLiteral("2014-06-01"),
               QStringLiteral("--standard"), QStringLiteral("18"), QStringLiteral("--height"),
               QStringLiteral("138.5") }
        << QByteArray();
    QTest::newRow("not assessed") << QString()
                                  << patient(exam(QStringLiteral("2014-06-01"), 0, 140))
                                  << QStringList { patientLine,
                                         QStringLiteral("LOINC 8302-2 2014-06-01 cm") }
                                  << QStringList() << QByteArray();
    QTest::newRow("not measured")
        << QString() << patient(exam(QStringLiteral("2014-06-01"), 18, 0))
        << QStringList { patientLine,
               QStringLiteral("LOINC 85151-9 2014-06-01 a N +85150-1 +bone-age-sd-score") }
        << QStringList() << QByteArray();
    QTest::newRow("undated examination left out")
        << QString() << patient(exam(QString(), 18, 140)) << QStringList { patientLine }
        << QStringList()
        << QByteArray("maturix-cli fhir: examination 1 has no date and is left out\n");
    // A boy's patient file, with an undated examination that holds nothing.
    QTest::newRow("patient file") << sample(QStringLiteral("patient-v3-example.bin"))
                                  << QByteArray()
                                  << QStringList { QStringLiteral("Patient male 2010-01-15") }
            + assessed(QStringLiteral("2020-03-14"), QStringLiteral("N"))
                                  << QStringList() << QByteArray();
}

void tst_CliFhir::bundle()
{
    QFETCH(QString, sample);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, assessExam);
    QFETCH(QByteArray, warning);
    QTemporaryDir dir;
    QString path = sample;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("patient.json"));
        QVERIFY(writeFile(path, file));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    const CliResult result = runCli({ QStringLiteral("fhir"), path }, environment);
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, warning);

    // HL7's schema, as a health record's import would check it.
    const QString bundlePath = dir.filePath(QStringLiteral("bundle.json"));
    QVERIFY(writeFile(bundlePath, result.out));
    QProcess validation;
    validation.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(VALIDATE_FHIR), QStringLiteral(FHIR_SCHEMA), bundlePath });
    QVERIFY(validation.waitForFinished(120000));
    QVERIFY2(validation.exitCode() == 0, validation.readAll().constData());

    const QJsonObject bundle = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(bundle[u"type"].toString(), QStringLiteral("transaction"));
    const QJsonArray entryArray = bundle[u"entry"].toArray();
    QStringList summaries;
    const QString patientUrl = entryArray[0][u"fullUrl"].toString();
    for (const QJsonValue entry : entryArray) {
        const QJsonObject resource = entry[u"resource"].toObject();
        summaries << summary(resource);
        QVERIFY(entry[u"fullUrl"].toString().startsWith(u"urn:uuid:"));
        if (resource[u"resourceType"].toString() == u"Observation") {
            QCOMPARE(resource[u"subject"][u"reference"].toString(), patientUrl);
            QCOMPARE(resource[u"valueQuantity"][u"system"].toString(),
                QStringLiteral("http://unitsofmeasure.org"));
        }
    }
    QCOMPARE(summaries, entries);

    if (assessExam.isEmpty())
        return;
    // The exact values, as the assessment computes them.
    const CliResult assessment = runCli(
        QStringList { QStringLiteral("assess"), QStringLiteral("--json"), QStringLiteral("--sex"),
            QStringLiteral("female"), QStringLiteral("--birth"), QStringLiteral("2004-06-01") }
            + assessExam,
        environment);
    QCOMPARE(assessment.status, 0);
    const QJsonObject expected = QJsonDocument::fromJson(assessment.out).object();
    const QJsonObject boneAge = entryArray[1][u"resource"].toObject();
    const double mean = expected[u"meanMaturix"].toDouble();
    const double sd = expected[u"standardDeviation"].toDouble();
    QCOMPARE(boneAge[u"valueQuantity"][u"value"].toDouble(), expected[u"maturix"].toDouble());
    QCOMPARE(boneAge[u"referenceRange"][0][u"low"][u"value"].toDouble(), mean - 2.0 * sd);
    QCOMPARE(boneAge[u"referenceRange"][0][u"high"][u"value"].toDouble(), mean + 2.0 * sd);
    QCOMPARE(boneAge[u"component"][1][u"valueQuantity"][u"value"].toDouble(),
        (expected[u"maturix"].toDouble() - mean) / sd);
    QCOMPARE(entryArray[2][u"resource"][u"valueQuantity"][u"value"].toDouble(),
        expected[u"height"].toDouble());
    QCOMPARE(entryArray[3][u"resource"][u"component"][0][u"valueQuantity"][u"value"].toDouble(),
        expected[u"percentageHeightAchieved"].toDouble());
}

QTEST_GUILESS_MAIN(tst_CliFhir)
#include "tst_clifhir.moc"
