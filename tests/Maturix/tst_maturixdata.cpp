#include "Gender.h"
#include "MaturixAssessment.h"
#include "MaturixData.h"

#include <QTest>

class tst_MaturixData : public QObject
{
    Q_OBJECT

private slots:
    void rowCounts_data();
    void rowCounts();
    void rowQueries_data();
    void rowQueries();
    void agesAscend();
    void standards_data();
    void standards();
    void standardTitles_data();
    void standardTitles();
};

void tst_MaturixData::rowCounts_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<quint64>("count");
    QTest::newRow("male") << qint64(Gender::Male) << quint64(22);
    QTest::newRow("female") << qint64(Gender::Female) << quint64(20);
    QTest::newRow("unspecified walks the female rows") << qint64(Gender::Unspecified) << quint64(20);
    QTest::newRow("unknown code") << qint64(7) << quint64(20);
}

void tst_MaturixData::rowCounts()
{
    QFETCH(qint64, gender);
    QFETCH(quint64, count);
    QCOMPARE(MaturixData().numberOfRecordsForGender(gender), count);
}

void tst_MaturixData::rowQueries_data()
{
    QTest::addColumn<quint64>("row");
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<double>("age");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sd");
    QTest::newRow("male row 0") << quint64(0) << qint64(1) << 1.0 << 12.7 / 12.0 << 2.1 / 12.0;
    QTest::newRow("male row 10") << quint64(10) << qint64(1) << 6.0 << 68.4 / 12.0 << 9.3 / 12.0;
    QTest::newRow("male row 11 whole years") << quint64(11) << qint64(1) << 7.0 << 80.6 / 12.0
                                             << 10.1 / 12.0;
    QTest::newRow("male row 21") << quint64(21) << qint64(1) << 17.0 << 206.0 / 12.0 << 15.4 / 12.0;
    QTest::newRow("female row 0") << quint64(0) << qint64(2) << 1.0 << 12.7 / 12.0 << 2.7 / 12.0;
    QTest::newRow("female row 16") << quint64(16) << qint64(2) << 12.0 << 147.2 / 12.0
                                   << 14.0 / 12.0;
    QTest::newRow("female row 19") << quint64(19) << qint64(2) << 15.0 << 184.3 / 12.0
                                   << 11.2 / 12.0;
    QTest::newRow("unspecified: female age, no mean") << quint64(0) << qint64(0) << 1.0 << 0.0 << 0.0;
    QTest::newRow("past the end answers zero") << quint64(20) << qint64(2) << 0.0 << 0.0 << 0.0;
}

void tst_MaturixData::rowQueries()
{
    QFETCH(quint64, row);
    QFETCH(qint64, gender);
    QFETCH(double, age);
    QFETCH(double, mean);
    QFETCH(double, sd);
    const MaturixData data;
    QCOMPARE(data.chronologicalAgeForIndex(row, gender), age);
    QCOMPARE(data.meanMaturixForIndex(row, gender), mean);
    QCOMPARE(data.standardDeviationForIndex(row, gender), sd);
}

void tst_MaturixData::agesAscend()
{
    const MaturixData data;
    for (qint64 gender : { 1, 2 }) {
        for (quint64 k = 1; k < data.numberOfRecordsForGender(gender); ++k)
            QVERIFY(data.chronologicalAgeForIndex(k, gender)
                    > data.chronologicalAgeForIndex(k - 1, gender));
    }
}

void tst_MaturixData::standards_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("boneAge");
    QTest::newRow("male not assessed") << qint64(1) << 0 << -1.0;
    QTest::newRow("male newborn") << qint64(1) << 1 << 0.0;
    QTest::newRow("male 32 months") << qint64(1) << 9 << 2.6666666666666665;
    QTest::newRow("male 11.5") << qint64(1) << 21 << 11.5;
    QTest::newRow("male last") << qint64(1) << 31 << 19.0;
    QTest::newRow("female 50 months") << qint64(2) << 12 << 50 / 12.0;
    QTest::newRow("female 69 months") << qint64(2) << 14 << 5.75;
    QTest::newRow("female 82 months") << qint64(2) << 15 << 6.833333333333333;
    QTest::newRow("female 106 months") << qint64(2) << 17 << 8.833333333333334;
    QTest::newRow("female last") << qint64(2) << 27 << 18.0;
}

void tst_MaturixData::standards()
{
    QFETCH(qint64, gender);
    QFETCH(int, index);
    QFETCH(double, boneAge);
    const MaturixAssessment assessment;
    QCOMPARE(assessment.maleChronologicalAgeDataPoints().size(), std::size_t(32));
    QCOMPARE(assessment.femaleChronologicalAgeDataPoints().size(), std::size_t(28));
    const auto &list = gender == 1 ? assessment.maleChronologicalAgeDataPoints()
                                   : assessment.femaleChronologicalAgeDataPoints();
    // Exact doubles: the height tables compare against the same values.
    QVERIFY(list.at(std::size_t(index)) == boneAge);
}

void tst_MaturixData::standardTitles_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::newRow("male dash") << qint64(1) << 0 << "-";
    QTest::newRow("male newborn") << qint64(1) << 1 << "0y 0m";
    QTest::newRow("male 32 months") << qint64(1) << 9 << "2y 8m";
    QTest::newRow("male 11.5") << qint64(1) << 21 << "11y 6m";
    QTest::newRow("female 69 months") << qint64(2) << 14 << "5y 9m";
    QTest::newRow("female 82 months") << qint64(2) << 15 << "6y 10m";
    QTest::newRow("female 106 months") << qint64(2) << 17 << "8y 10m";
}

void tst_MaturixData::standardTitles()
{
    QFETCH(qint64, gender);
    QFETCH(int, index);
    QFETCH(QString, title);
    const MaturixAssessment assessment;
    QCOMPARE(assessment.standardTitlesForGender(gender).value(index), title);
    QCOMPARE(assessment.standardTitlesForGender(1).size(), 32);
    QCOMPARE(assessment.standardTitlesForGender(2).size(), 28);
    QCOMPARE(assessment.standardTitlesForGender(0), QStringList { QStringLiteral("-") });
}

QTEST_APPLESS_MAIN(tst_MaturixData)
#include "tst_maturixdata.moc"
