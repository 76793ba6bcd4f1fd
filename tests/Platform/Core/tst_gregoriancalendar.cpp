#include "GregorianCalendar.h"

#include <QTest>

#include <unicode/ucal.h>

#include <ctime>

namespace {
void setZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

AbsoluteDate midnight(const QDate &date)
{
    return AbsoluteDate::fromLocalDate(date);
}
} // namespace

class tst_GregorianCalendar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void differences_data();
    void differences();
    void agreesWithIcuFieldDifference();
    void followsTheTimeZone();
    void beyondTheCalendarIsNeutral();
};

void tst_GregorianCalendar::initTestCase()
{
    // A zone with daylight saving, so calendar days are not multiples of 86400 s.
    setZone("Europe/Zurich");
}

void tst_GregorianCalendar::differences_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<qint64>("days");
    QTest::addColumn<qint64>("monthsAlone");
    QTest::addColumn<qint64>("years");
    QTest::addColumn<qint64>("months");

    // Years first; the months then count from the anniversary, which for a
    // birth on 29 February is 28 February in a common year.
    const QDate leapDay(2008, 2, 29);
    QTest::newRow("29 Feb, day before the anniversary")
            << leapDay << QDate(2019, 2, 27) << 4016ll << 131ll << 10ll << 11ll;
    QTest::newRow("29 Feb, anniversary on 28 Feb")
            << leapDay << QDate(2019, 2, 28) << 4017ll << 132ll << 11ll << 0ll;
    QTest::newRow("29 Feb, 28 Mar") << leapDay << QDate(2019, 3, 28) << 4045ll << 132ll << 11ll << 1ll;
    QTest::newRow("29 Feb, 31 Mar") << leapDay << QDate(2019, 3, 31) << 4048ll << 133ll << 11ll << 1ll;
    QTest::newRow("29 Feb, 28 Jul") << leapDay << QDate(2019, 7, 28) << 4167ll << 136ll << 11ll << 5ll;
    QTest::newRow("29 Feb, 28 Feb of a leap year: twelve months from the last anniversary")
            << leapDay << QDate(2020, 2, 28) << 4382ll << 143ll << 11ll << 12ll;
    QTest::newRow("29 Feb, 29 Feb") << leapDay << QDate(2020, 2, 29) << 4383ll << 144ll << 12ll << 0ll;

    const QDate endOfJanuary(2010, 1, 31);
    QTest::newRow("31 Jan, 28 Feb") << endOfJanuary << QDate(2010, 2, 28) << 28ll << 1ll << 0ll << 1ll;
    QTest::newRow("31 Jan, 30 Apr") << endOfJanuary << QDate(2010, 4, 30) << 89ll << 3ll << 0ll << 3ll;
    QTest::newRow("31 Jan, 28 Feb next year")
            << endOfJanuary << QDate(2011, 2, 28) << 393ll << 13ll << 1ll << 1ll;
    QTest::newRow("31 Jan, 29 Feb") << endOfJanuary << QDate(2012, 2, 29) << 759ll << 25ll << 2ll << 1ll;

    const QDate endOfMarch(2010, 3, 31);
    QTest::newRow("31 Mar, 30 Apr") << endOfMarch << QDate(2010, 4, 30) << 30ll << 1ll << 0ll << 1ll;
    QTest::newRow("31 Mar, 30 Sep") << endOfMarch << QDate(2010, 9, 30) << 183ll << 6ll << 0ll << 6ll;
    QTest::newRow("31 Mar, 28 Feb") << endOfMarch << QDate(2011, 2, 28) << 334ll << 11ll << 0ll << 11ll;
    QTest::newRow("31 Mar, 29 Feb") << endOfMarch << QDate(2012, 2, 29) << 700ll << 23ll << 1ll << 11ll;

    // Backwards the same rule runs the other way, from the later date.
    QTest::newRow("backwards to 29 Feb")
            << QDate(2019, 3, 28) << leapDay << -4045ll << -132ll << -11ll << 0ll;
    QTest::newRow("backwards") << QDate(2010, 3, 14) << QDate(2000, 1, 15) << -3711ll << -121ll
                               << -10ll << -1ll;
    QTest::newRow("across daylight saving")
            << QDate(2010, 1, 15) << QDate(2010, 7, 15) << 181ll << 6ll << 0ll << 6ll;
    QTest::newRow("same day") << QDate(2010, 5, 5) << QDate(2010, 5, 5) << 0ll << 0ll << 0ll << 0ll;
}

void tst_GregorianCalendar::differences()
{
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(qint64, days);
    QFETCH(qint64, monthsAlone);
    QFETCH(qint64, years);
    QFETCH(qint64, months);
    QCOMPARE(GregorianCalendar::daysBetween(midnight(from), midnight(to)), days);
    QCOMPARE(GregorianCalendar::monthsBetween(midnight(from), midnight(to)), monthsAlone);
    const auto age = GregorianCalendar::yearsAndMonthsBetween(midnight(from), midnight(to));
    QCOMPARE(age.years, years);
    QCOMPARE(age.months, months);
}

// The counts start their search near the answer; they must still be exactly
// what ICU's own field difference gives, at any time of day and across
// daylight-saving changes (including times inside the skipped hour).
void tst_GregorianCalendar::agreesWithIcuFieldDifference()
{
    UErrorCode status = U_ZERO_ERROR;
    UCalendar *icu = ucal_open(u"Europe/Zurich", -1, "en_US_POSIX", UCAL_GREGORIAN, &status);
    QVERIFY(U_SUCCESS(status));
    const auto icuDifference = [&](UDate from, UDate to, UCalendarDateFields field) {
        ucal_setMillis(icu, from, &status);
        return qint64(ucal_getFieldDifference(icu, to, field, &status));
    };
    // A day of the spring change, and the Julian calendar's last year.
    const double starts[] = { midnight(QDate(2007, 3, 25)).secondsSinceReferenceDate() + 2.5 * 3600,
                              midnight(QDate(1582, 1, 31)).secondsSinceReferenceDate() };
    quint32 seed = 1;
    for (int k = 0; k < 600; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const double from = starts[k % 2] + double(seed % 4000) * 3600.0 * 11.0;
        seed = seed * 1664525u + 1013904223u;
        const double to = from + (double(seed % 20000) - 6000.0) * 3600.0 * 3.0 + (seed % 7) * 900.0;
        const AbsoluteDate a(from);
        const AbsoluteDate b(to);
        const UDate fromMs = UDate(*a.millisecondsSinceUnixEpoch());
        const UDate toMs = UDate(*b.millisecondsSinceUnixEpoch());
        QCOMPARE(GregorianCalendar::daysBetween(a, b), icuDifference(fromMs, toMs, UCAL_DATE));
        QCOMPARE(GregorianCalendar::monthsBetween(a, b), icuDifference(fromMs, toMs, UCAL_MONTH));
        ucal_setMillis(icu, fromMs, &status);
        const qint64 years = ucal_getFieldDifference(icu, toMs, UCAL_YEAR, &status);
        const qint64 months = ucal_getFieldDifference(icu, toMs, UCAL_MONTH, &status);
        const auto age = GregorianCalendar::yearsAndMonthsBetween(a, b);
        QCOMPARE(age.years, years);
        QCOMPARE(age.months, months);
    }
    QVERIFY(U_SUCCESS(status));
    ucal_close(icu);
}

void tst_GregorianCalendar::followsTheTimeZone()
{
    // Thirty calendar days in Zurich that hold the spring change, an hour short
    // of thirty times 24 hours: 29 whole days where no clock changes.
    const AbsoluteDate from = midnight(QDate(2020, 3, 1));
    const AbsoluteDate to = midnight(QDate(2020, 3, 31));
    QCOMPARE(GregorianCalendar::daysBetween(from, to), 30);
    setZone("UTC");
    QCOMPARE(GregorianCalendar::daysBetween(from, to), 29);
    setZone("Europe/Zurich");
    QCOMPARE(GregorianCalendar::daysBetween(from, to), 30);
}

void tst_GregorianCalendar::beyondTheCalendarIsNeutral()
{
    const AbsoluteDate today = midnight(QDate(2026, 12, 8));
    for (const double absurd : { 1e300, -1e300, qQNaN(), qInf() }) {
        QCOMPARE(GregorianCalendar::daysBetween(today, AbsoluteDate(absurd)), 0);
        QCOMPARE(GregorianCalendar::monthsBetween(AbsoluteDate(absurd), today), 0);
        QCOMPARE(GregorianCalendar::yearsAndMonthsBetween(today, AbsoluteDate(absurd)).years, 0);
    }
}

QTEST_APPLESS_MAIN(tst_GregorianCalendar)
#include "tst_gregoriancalendar.moc"
