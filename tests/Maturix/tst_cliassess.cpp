#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
CliResult runInZurich(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Zurich"));
    return runCli(arguments, environment);
}

QStringList assessArguments(const QString &sex, const QString &birth, const QString &exam,
                            const QString &standard)
{
    return { QStringLiteral("assess"), QStringLiteral("--sex"), sex, QStringLiteral("--birth"),
             birth, QStringLiteral("--exam"), exam, QStringLiteral("--standard"), standard };
}
} // namespace

class tst_CliAssess : public QObject
{
    Q_OBJECT

private slots:
    void json_data();
    void json();
    void numbersRoundTrip();
    void readableText();
    void listStandards_data();
    void listStandards();
    void badInput_data();
    void badInput();
    void help();
};

void tst_CliAssess::json_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QVariantMap>("expected");
    QTest::addColumn<QByteArray>("warning"); // on standard error, the values computed all the same

    QTest::newRow("boy at 10y 1m with height")
            << (assessArguments("male", "2000-01-15", "2010-03-14", "19")
                << "--height" << "140" << "--json")
            << QVariantMap { { "chronologicalAge", 3711 / 365.25 },
                             { "chronologicalAgeString", "10y 1m" },
                             { "maturix", 10.0 },
                             { "percentageHeightAchieved", 78.4 },
                             { "percentageHeightAchievedString", "78.4% of 178.6 cm" },
                             { "height", 140.0 } }
            << QByteArray();
    QTest::newRow("final height on a tie rounds to even")
            << (assessArguments("male", "2016-12-09", "2031-01-12", "23") << "--height" << "172.7"
                << "--json")
            << QVariantMap { { "percentageHeightAchievedString", "88.0% of 196.2 cm" } }
            << QByteArray();
    QTest::newRow("3712 days")
            << (assessArguments("male", "2000-01-01", "2010-03-01", "0") << "--json")
            << QVariantMap { { "chronologicalAge", 3712 / 365.25 },
                             { "maturix", -1.0 },
                             { "maturixString", "-" },
                             { "percentageHeightAchieved", 0.0 },
                             { "percentageHeightAchievedString", "-" },
                             { "height", 0.0 } }
            << QByteArray();
    QTest::newRow("girl standard 15 at seven")
            << (assessArguments("female", "2000-01-01", "2007-01-01", "15") << "--json")
            << QVariantMap { { "maturix", 82 / 12.0 },
                             { "percentageHeightAchieved", 75.1 },
                             { "meanMaturixAndSDString", "6y 10m (8.3m)" } }
            << QByteArray();
    QTest::newRow("birth in the future")
            << (assessArguments("male", "2999-01-01", "3009-01-01", "0") << "--json")
            << QVariantMap { { "chronologicalAgeString", "10y 0m" } }
            << QByteArray("birth date is in the future");
    QTest::newRow("unspecified sex")
            << (assessArguments("unspecified", "2000-01-01", "2010-01-01", "0") << "--json")
            << QVariantMap { { "maturix", 0.0 },
                             { "maturixString", "-" },
                             { "meanMaturix", 0.0 },
                             { "standardDeviation", 0.0 },
                             { "meanMaturixAndSDString", "-" },
                             { "percentageHeightAchievedString", "-" } }
            << QByteArray();
    QTest::newRow("exam before birth")
            << (assessArguments("male", "2010-03-14", "2000-01-15", "5") << "--json")
            << QVariantMap { { "chronologicalAge", -3711 / 365.25 },
                             { "chronologicalAgeString", "-10y -1m" },
                             { "meanMaturix", 0.0 },
                             { "maturixString", "1y 0m" } }
            << QByteArray("dated before the birth date");
}

void tst_CliAssess::json()
{
    QFETCH(QStringList, arguments);
    QFETCH(QVariantMap, expected);
    QFETCH(QByteArray, warning);
    const CliResult result = runInZurich(arguments);
    QCOMPARE(result.status, 0);
    if (warning.isEmpty())
        QVERIFY(result.err.isEmpty());
    else
        QVERIFY2(result.err.startsWith("maturix-cli assess: warning: ") && result.err.contains(warning)
                         && result.err.count('\n') == 1,
                 result.err.constData());
    const QJsonObject object = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(object.keys().size(), 10);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(object.contains(it.key()), qPrintable(it.key()));
        QCOMPARE(object.value(it.key()).toVariant(), it.value());
    }
}

void tst_CliAssess::numbersRoundTrip()
{
    const CliResult result = runInZurich(assessArguments("male", "2000-01-15", "2010-03-14", "19")
                                 << "--json");
    QCOMPARE(result.status, 0);
    // The shortest text that reads back as the same double.
    QVERIFY(result.out.contains("\"chronologicalAge\":10.160164271047227"));
    const double mean = QJsonDocument::fromJson(result.out).object().value("meanMaturix").toDouble();
    QCOMPARE(QByteArray::number(mean, 'g', QLocale::FloatingPointShortest).toDouble(), mean);
}

void tst_CliAssess::readableText()
{
    const CliResult result = runInZurich(assessArguments("male", "2000-01-15", "2010-03-14", "19")
                                 << "--height" << "140");
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.startsWith("Sex: male\n"));
    QVERIFY(result.out.contains("10y 1m"));
    QVERIFY(result.out.contains("78.4% of 178.6 cm"));
    const CliResult unmeasured = runInZurich(assessArguments("female", "2000-01-15", "2010-03-14", "0"));
    QVERIFY(unmeasured.out.startsWith("Sex: female\n"));
    QVERIFY(unmeasured.out.contains("\nHeight: -\n"));
}

void tst_CliAssess::listStandards_data()
{
    QTest::addColumn<QString>("sex");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("first");
    QTest::newRow("male") << "male" << 31 << QByteArray(" 1  0y 0m (0 years)\n 2  0y 3m (0.25 years)\n");
    QTest::newRow("female") << "female" << 27 << QByteArray(" 1  0y 0m (0 years)\n 2  0y 3m (0.25 years)\n");
}

void tst_CliAssess::listStandards()
{
    QFETCH(QString, sex);
    QFETCH(int, count);
    QFETCH(QByteArray, first);
    const CliResult text = runInZurich({ "assess", "--list-standards", "--sex", sex });
    QCOMPARE(text.status, 0);
    QCOMPARE(text.out.count('\n'), count);
    QVERIFY2(text.out.startsWith(first), text.out.constData());
    // The index each line gives is the one --standard takes.
    const CliResult json = runInZurich({ "assess", "--list-standards", "--sex", sex, "--json" });
    const QJsonArray standards = QJsonDocument::fromJson(json.out).array();
    QCOMPARE(standards.size(), count);
    const QJsonObject last = standards.last().toObject();
    QCOMPARE(last.value("index").toInt(), count);
    const CliResult assessed = runInZurich(assessArguments(sex, "2000-01-01", "2010-01-01",
                                                           QString::number(count)) << "--json");
    QCOMPARE(QJsonDocument::fromJson(assessed.out).object().value("maturix"), last.value("boneAge"));
}

void tst_CliAssess::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("unknown sex") << assessArguments("boy", "2000-01-01", "2010-01-01", "1")
                                 << QByteArray("sex");
    QTest::newRow("malformed birth") << assessArguments("male", "2000/01/01", "2010-01-01", "1")
                                     << QByteArray("birth date");
    QTest::newRow("impossible exam") << assessArguments("male", "2000-01-01", "2010-02-30", "1")
                                     << QByteArray("examination date");
    QTest::newRow("standard past the male list")
            << assessArguments("male", "2000-01-01", "2010-01-01", "32") << QByteArray("standard");
    QTest::newRow("standard past the female list")
            << assessArguments("female", "2000-01-01", "2010-01-01", "28") << QByteArray("standard");
    QTest::newRow("unspecified allows only 0")
            << assessArguments("unspecified", "2000-01-01", "2010-01-01", "1")
            << QByteArray("standard");
    QTest::newRow("negative standard")
            << assessArguments("male", "2000-01-01", "2010-01-01", "-1") << QByteArray("standard");
    QTest::newRow("negative height")
            << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--height" << "-3")
            << QByteArray("height");
    QTest::newRow("non-numeric height")
            << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--height" << "tall")
            << QByteArray("height");
    QTest::newRow("29 cm") << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--height" << "29")
                           << QByteArray("outside 30 to 250 cm");
    QTest::newRow("999 cm") << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--height" << "999")
                            << QByteArray("outside 30 to 250 cm");
    QTest::newRow("standards of no sex") << QStringList { "assess", "--list-standards" }
                                         << QByteArray("--sex male or female");
    QTest::newRow("missing option")
            << QStringList { "assess", "--sex", "male", "--birth", "2000-01-01", "--standard", "1" }
            << QByteArray("--exam");
    QTest::newRow("option without value")
            << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--height")
            << QByteArray("--height");
    QTest::newRow("unknown option")
            << (assessArguments("male", "2000-01-01", "2010-01-01", "1") << "--weight" << "30")
            << QByteArray("--weight");
    QTest::newRow("unknown command") << QStringList { "asses" } << QByteArray("asses");
}

void tst_CliAssess::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const CliResult result = runInZurich(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY(result.out.isEmpty());
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY2(result.err.contains(message), result.err.constData());
}

void tst_CliAssess::help()
{
    for (const QStringList &arguments : { QStringList { "--help" }, QStringList { "assess", "--help" } }) {
        const CliResult result = runInZurich(arguments);
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.contains("assess"));
        QVERIFY(result.err.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_CliAssess)
#include "tst_cliassess.moc"
