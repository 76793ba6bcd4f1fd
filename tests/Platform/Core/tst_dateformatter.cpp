#include "DateFormatter.h"

#include <QTest>

class tst_DateFormatter : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void roundTrip();
};

void tst_DateFormatter::parse_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("birth");
    QTest::addColumn<QDate>("expected");

    const bool birth = true;
    QTest::newRow("US two-digit birth year this century") << "en_US" << "3/14/10" << birth
                                                          << QDate(2010, 3, 14);
    QTest::newRow("US two-digit birth year last century") << "en_US" << "3/14/85" << birth
                                                          << QDate(1985, 3, 14);
    QTest::newRow("US birth later this year is last century") << "en_US" << "12/31/26" << birth
                                                              << QDate(1926, 12, 31);
    QTest::newRow("US birth today") << "en_US" << "12/8/26" << birth << QDate(2026, 12, 8);
    QTest::newRow("US exam next year stays near") << "en_US" << "1/5/27" << !birth
                                                  << QDate(2027, 1, 5);
    QTest::newRow("US four-digit year") << "en_US" << "3/14/1910" << birth << QDate(1910, 3, 14);
    QTest::newRow("US leap day two-digit") << "en_US" << "2/29/24" << birth << QDate(2024, 2, 29);
    QTest::newRow("Swiss two-digit") << "de_CH" << "14.03.10" << birth << QDate(2010, 3, 14);
    QTest::newRow("Swiss four-digit") << "de_CH" << "14.03.2010" << birth << QDate(2010, 3, 14);
    QTest::newRow("British four-digit") << "en_GB" << "14/03/2010" << birth << QDate(2010, 3, 14);
    QTest::newRow("ISO always") << "en_GB" << "2010-03-14" << birth << QDate(2010, 3, 14);
    QTest::newRow("C locale") << "C" << "14 Mar 2010" << birth << QDate(2010, 3, 14);
    // Locales that show four-digit years still take two.
    QTest::newRow("C two-digit birth") << "C" << "15 Jan 16" << birth << QDate(2016, 1, 15);
    QTest::newRow("C birth later this year") << "C" << "31 Dec 26" << birth << QDate(1926, 12, 31);
    QTest::newRow("C exam next year") << "C" << "5 Jan 27" << !birth << QDate(2027, 1, 5);
    QTest::newRow("British two-digit birth") << "en_GB" << "15/01/16" << birth << QDate(2016, 1, 15);
    QTest::newRow("British two-digit exam") << "en_GB" << "05/01/27" << !birth << QDate(2027, 1, 5);
    QTest::newRow("US two-digit 15 Jan 16") << "en_US" << "1/15/16" << birth << QDate(2016, 1, 15);
    QTest::newRow("surrounding spaces") << "en_US" << " 3/14/2010 " << birth << QDate(2010, 3, 14);
    QTest::newRow("garbage") << "en_US" << "yesterday" << birth << QDate();
    QTest::newRow("impossible day") << "en_US" << "2/30/2010" << birth << QDate();
    QTest::newRow("empty") << "en_US" << "" << birth << QDate();
}

void tst_DateFormatter::parse()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, birth);
    QFETCH(QDate, expected);
    const DateFormatter formatter { QLocale(locale) };
    const auto policy = birth ? DateFormatter::TwoDigitYears::InThePast
                              : DateFormatter::TwoDigitYears::Nearest;
    QCOMPARE(formatter.calendarDateFromString(text, policy, QDate(2026, 12, 8)), expected);
}

void tst_DateFormatter::roundTrip()
{
    // What the window shows must read back as the same day.
    for (const char *name : { "en_US", "de_CH", "en_GB", "C", "fr_FR", "ja_JP" }) {
        const DateFormatter formatter { QLocale(QString::fromLatin1(name)) };
        const AbsoluteDate date = AbsoluteDate::fromLocalDate(QDate(2010, 3, 14));
        const QString text = formatter.shortDateString(date);
        QCOMPARE(formatter.dateFromString(text, DateFormatter::TwoDigitYears::InThePast), date);
    }
}

QTEST_APPLESS_MAIN(tst_DateFormatter)
#include "tst_dateformatter.moc"
