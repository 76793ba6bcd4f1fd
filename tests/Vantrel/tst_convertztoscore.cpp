#include "ConvertToZScore.h"

#include <QTest>

class tst_ConvertToZScore : public QObject
{
    Q_OBJECT

private slots:
    void deviates_data();
    void deviates();
    void symmetric();
};

void tst_ConvertToZScore::deviates_data()
{
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("z");
    // Standard normal quantiles; the approximation is good to 4.5e-4.
    QTest::newRow("2.5%") << 0.025 << 1.959964;
    QTest::newRow("5%") << 0.05 << 1.644854;
    QTest::newRow("16%") << 0.1586553 << 1.0;
    QTest::newRow("half") << 0.5 << 0.0;
    QTest::newRow("97.5%") << 0.975 << -1.959964;
    QTest::newRow("0.1%") << 0.001 << 3.090232;
}

void tst_ConvertToZScore::deviates()
{
    QFETCH(double, p);
    QFETCH(double, z);
    QVERIFY2(qAbs(ConvertToZScore(p) - z) < 4.5e-4, qPrintable(QString::number(ConvertToZScore(p))));
}

void tst_ConvertToZScore::symmetric()
{
    for (double p : { 0.01, 0.1, 0.3, 0.45 })
        QCOMPARE(ConvertToZScore(1.0 - p), -ConvertToZScore(p));
}

QTEST_APPLESS_MAIN(tst_ConvertToZScore)
#include "tst_convertztoscore.moc"
