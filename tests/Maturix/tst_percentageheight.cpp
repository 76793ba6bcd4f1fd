#include "PercentageHeight.h"

#include <QTest>

#include <cmath>
#include <limits>

using Table = double (*)(double);
Q_DECLARE_METATYPE(Table)

class tst_PercentageHeight : public QObject
{
    Q_OBJECT

private slots:
    void choosesTable_data();
    void choosesTable();
    void tableSteps_data();
    void tableSteps();
    void finalHeight();
};

void tst_PercentageHeight::choosesTable_data()
{
    QTest::addColumn<bool>("male");
    QTest::addColumn<double>("chronologicalAge");
    QTest::addColumn<double>("boneAge");
    QTest::addColumn<double>("percentage");

    QTest::newRow("boy average") << true << 10.0 << 10.0 << 78.4;
    QTest::newRow("boy exactly one year ahead is accelerated") << true << 9.0 << 10.0 << 74.7;
    QTest::newRow("boy exactly one year behind is delayed") << true << 14.0 << 13.0 << 88.0;
    QTest::newRow("boy half a year behind is average") << true << 14.0 << 13.5 << 90.2;
    QTest::newRow("boy delayed past 13y 3m has none") << true << 16.0 << 13.5 << 0.0;
    QTest::newRow("boy average below 7y has none") << true << 6.5 << 6.5 << 0.0;
    QTest::newRow("boy delayed at 6.5") << true << 8.0 << 6.5 << 70.0;
    QTest::newRow("boy accelerated never reaches 100") << true << 17.0 << 19.0 << 99.0;
    QTest::newRow("boy average 18y 6m and above") << true << 19.0 << 19.0 << 100.0;
    QTest::newRow("boy not assessed") << true << 10.0 << -1.0 << 0.0;
    QTest::newRow("girl 82/12 meets its threshold") << false << 7.0 << 82 / 12.0 << 75.1;
    QTest::newRow("girl 94/12 meets its threshold") << false << 8.0 << 94 / 12.0 << 78.2;
    QTest::newRow("girl 106/12 meets its threshold") << false << 9.0 << 106 / 12.0 << 82.1;
    QTest::newRow("girl just below 82/12") << false << 7.0 << std::nextafter(82 / 12.0, 0.0)
                                           << 73.8;
    QTest::newRow("girl average 16.0") << false << 16.0 << 16.0 << 99.6;
    QTest::newRow("girl average 16.25 repeats") << false << 16.0 << 16.25 << 99.6;
    QTest::newRow("girl average 17.25 stays at 17y") << false << 17.0 << 17.25 << 99.9;
    QTest::newRow("girl average 17.5") << false << 17.0 << 17.5 << 99.95;
    QTest::newRow("girl accelerated from 7y") << false << 5.0 << 7.0 << 71.2;
    QTest::newRow("girl accelerated below 7y has none") << false << 5.0 << 6.5 << 0.0;
    QTest::newRow("girl delayed 17y and above") << false << 19.0 << 17.0 << 100.0;
    QTest::newRow("girl not assessed") << false << 10.0 << -1.0 << 0.0;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("boy not a number") << true << nan << 10.0 << 0.0;
    QTest::newRow("girl not a number") << false << 10.0 << nan << 0.0;
}

void tst_PercentageHeight::choosesTable()
{
    QFETCH(bool, male);
    QFETCH(double, chronologicalAge);
    QFETCH(double, boneAge);
    QFETCH(double, percentage);
    const double result = male ? MalePercentageHeight(chronologicalAge, boneAge)
                               : FemalePercentageHeight(chronologicalAge, boneAge);
    QCOMPARE(result, percentage);
}

void tst_PercentageHeight::tableSteps_data()
{
    QTest::addColumn<Table>("table");
    QTest::addColumn<double>("boneAge");
    QTest::addColumn<double>("percentage");

    QTest::newRow("male average just below 7") << Table(AverageMalePercentageHeight) << 6.999 << 0.0;
    QTest::newRow("male average at 7") << Table(AverageMalePercentageHeight) << 7.0 << 69.5;
    QTest::newRow("male average no interpolation") << Table(AverageMalePercentageHeight) << 7.24 << 69.5;
    QTest::newRow("male average 13.25") << Table(AverageMalePercentageHeight) << 13.25 << 89.0;
    QTest::newRow("male accelerated 11.75") << Table(AcceleratedMalePercentageHeight) << 11.75 << 80.0;
    QTest::newRow("male delayed below 6") << Table(DelayedMalePercentageHeight) << 5.99 << 0.0;
    QTest::newRow("male delayed 6") << Table(DelayedMalePercentageHeight) << 6.0 << 68.0;
    QTest::newRow("male delayed 13 last value") << Table(DelayedMalePercentageHeight) << 13.2 << 88.0;
    QTest::newRow("male delayed 13.25 explicit zero") << Table(DelayedMalePercentageHeight) << 13.25 << 0.0;
    QTest::newRow("male delayed far above") << Table(DelayedMalePercentageHeight) << 30.0 << 0.0;
    QTest::newRow("female average 6") << Table(AverageFemalePercentageHeight) << 6.0 << 72.0;
    QTest::newRow("female average 6.75 still 6.5 step") << Table(AverageFemalePercentageHeight) << 6.75 << 73.8;
    QTest::newRow("female average 8.75 still 8.5 step") << Table(AverageFemalePercentageHeight) << 8.75 << 81.0;
    QTest::newRow("female average 18") << Table(AverageFemalePercentageHeight) << 18.0 << 100.0;
    QTest::newRow("female accelerated 18") << Table(AcceleratedFemalePercentageHeight) << 18.0 << 99.95;
    QTest::newRow("female delayed 16.75") << Table(DelayedFemalePercentageHeight) << 16.75 << 99.95;
    QTest::newRow("female delayed 94/12") << Table(DelayedFemalePercentageHeight) << 94 / 12.0 << 79.7;
    QTest::newRow("female delayed not assessed") << Table(DelayedFemalePercentageHeight) << -1.0 << 0.0;
}

void tst_PercentageHeight::tableSteps()
{
    QFETCH(Table, table);
    QFETCH(double, boneAge);
    QFETCH(double, percentage);
    QCOMPARE(table(boneAge), percentage);
}

void tst_PercentageHeight::finalHeight()
{
    QCOMPARE(FinalHeight(140.0, 78.4 / 100.0), 140.0 / 0.784);
    QVERIFY(std::fabs(FinalHeight(140.0, 0.784) - 178.5714) < 1e-4);
}

QTEST_APPLESS_MAIN(tst_PercentageHeight)
#include "tst_percentageheight.moc"
