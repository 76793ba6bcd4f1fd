#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

class tst_CliReport : public QObject
{
    Q_OBJECT

private slots:
    void report_data();
    void report();
};

namespace {
// A girl born on 1 June 2004; `exams` as the patient file's JSON keeps them.
QByteArray patient(const QString &exams)
{
    return QStringLiteral(R"({"referenceString":"R","birthDate":"2004-06-01T00:00:00Z","gender":2,"exams":[%1]})")
            .arg(exams)
            .toUtf8();
}

QString exam(const QString &date, int standard, double height)
{
    return QStringLiteral(R"({"examDate":"%1T00:00:00Z","maturixIndex":%2,"height":%3})")
            .arg(date)
            .arg(standard)
            .arg(height);
}

const QString everyPlaceholder = QStringLiteral(
        "{examDate}|{boneAge}|{chronologicalAge}|{sdScore}|{sdDirection}|{sdRange}|{meanBoneAge}|"
        "{standardDeviation}|{height}|{percentageOfAdultHeight}|{predictedAdultHeight}|"
        "{boneAgeAdvance}|{heightVelocity} \\{literal\\}");
} // namespace

void tst_CliReport::report_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");

    const QString first = exam(QStringLiteral("2014-06-01"), 18, 138.5);
    const QString second = exam(QStringLiteral("2015-06-01"), 19, 144);
    const QString assessed = QStringLiteral(
            "Bone age (Greulich and Pyle): 10 years 0 months. Chronological age: 10 years 0 months. "
            "The bone age lies 0.1 SD above the mean for age (mean 9 years 10 months, SD 10.8 months), "
            "within ±2 SD.");
    const QString firstReport = assessed
            + QStringLiteral(" Height 138.5 cm, 86.2 % of predicted adult height; predicted adult "
                             "height (Bayley–Pinneau) 160.7 cm.\n");
    const QStringList blind { QStringLiteral("--blind") };
    QTest::newRow("first visit") << patient(first) << QStringList() << QString() << 0 << firstReport;
    QTest::newRow("second visit")
            << patient(first + u',' + second) << QStringList() << QString() << 0
            << QStringLiteral(
                       "Bone age (Greulich and Pyle): 11 years 0 months. Chronological age: 11 years 0 months. "
                       "The bone age lies 0.1 SD below the mean for age (mean 11 years 0 months, SD 12.3 months), "
                       "within ±2 SD. Height 144.0 cm, 90.6 % of predicted adult height; predicted adult height "
                       "(Bayley–Pinneau) 158.9 cm. Since the previous examination, the bone age advanced 1.00 "
                       "years per year. Height velocity since the previous examination: 5.5 cm per year.\n");
    QTest::newRow("earlier visit by date")
            << patient(second + u',' + first) << QStringList { QStringLiteral("--exam"), QStringLiteral("2014-06-01") }
            << QString() << 0 << firstReport;
    QTest::newRow("not assessed") << patient(exam(QStringLiteral("2014-06-01"), 0, 140)) << QStringList()
                                  << QString() << 0
                                  << QStringLiteral("Chronological age: 10 years 0 months. Height 140.0 cm.\n");
    QTest::newRow("not measured") << patient(exam(QStringLiteral("2014-06-01"), 18, 0)) << QStringList()
                                  << QString() << 0 << assessed + u'\n';
    QTest::newRow("blind, not assessed") << patient(exam(QStringLiteral("2014-06-01"), 0, 140)) << blind
                                         << QString() << 0 << QStringLiteral("Height 140.0 cm.\n");
    QTest::newRow("blind, assessed") << patient(first) << blind << QString() << 0 << firstReport;
    QTest::newRow("every placeholder")
            << patient(first + u',' + second) << QStringList() << everyPlaceholder << 0
            << QStringLiteral("1 Jun 2015|11 years 0 months|11 years 0 months|0.1|below|within|"
                              "11 years 0 months|12.3 months|144.0|90.6|158.9|1.00|5.5 {literal}\n");
    QTest::newRow("score rounding to zero from below is at the mean")
            << patient(exam(QStringLiteral("2014-07-04"), 18, 0)) << QStringList()
            << QStringLiteral("{sdScore} SD {sdDirection}") << 0
            << QStringLiteral("0.0 SD above\n");
    QTest::newRow("unknown placeholder")
            << patient(first) << QStringList() << QStringLiteral("{boneAge} {boneAgeSD} {boneAge}") << 2
            << QStringLiteral("maturix-cli report: unknown placeholder in TEMPLATE: {boneAgeSD}\n");
    QTest::newRow("no examination on date")
            << patient(first) << QStringList { QStringLiteral("--exam"), QStringLiteral("2014-06-02") }
            << QString() << 2 << QStringLiteral("maturix-cli report: no examination on 2014-06-02\n");
    QTest::newRow("unreadable file") << QByteArray("{") << QStringList() << QString() << 1 << QString();
}

void tst_CliReport::report()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, options);
    QFETCH(QString, templateText);
    QFETCH(int, status);
    QFETCH(QString, output);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("patient.json"));
    QVERIFY(writeFile(path, file));
    QStringList arguments { QStringLiteral("report"), path };
    if (!templateText.isNull()) {
        const QString templatePath = dir.filePath(QStringLiteral("TEMPLATE"));
        QVERIFY(writeFile(templatePath, templateText.toUtf8()));
        arguments << QStringLiteral("--template") << templatePath;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    const CliResult result = runCli(arguments + options, environment);
    QCOMPARE(result.status, status);
    if (status == 1)
        QVERIFY(result.err.startsWith("maturix-cli report: " + path.toUtf8() + ": "));
    else
        QCOMPARE(QString::fromUtf8(status == 0 ? result.out : result.err).replace(dir.path() + u'/', QString()),
                 output);
}

QTEST_GUILESS_MAIN(tst_CliReport)
#include "tst_clireport.moc"
