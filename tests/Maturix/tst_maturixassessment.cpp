#include "Gender.h"
#include "MaturixAssessment.h"

#include <QLocale>
#include <QTest>

#include <ctime>

namespace {
std::unique_ptr<PatientRecord> makeRecord(qint64 gender, QDate birth, QDate exam, qint64 index,
                                          double height = 0.0)
{
    auto record = std::make_unique<PatientRecord>();
    record->setGender(gender);
    if (birth.isValid())
        record->setBirthDate(AbsoluteDate::fromLocalDate(birth));
    TRRecord &e = *record->trRecordsArray().front();
    e.setExamDate(exam.isValid() ? std::optional(AbsoluteDate::fromLocalDate(exam)) : std::nullopt);
    e.setMaturixIndex(index);
    e.setHeight(height);
    return record;
}
} // namespace

class tst_MaturixAssessment : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void interpolationByAge_data();
    void interpolationByAge();
    void chronologicalAge_data();
    void chronologicalAge();
    void boneAgeAndScore_data();
    void boneAgeAndScore();
    void percentage_data();
    void percentage();
    void tiesRoundAsTheCLibrary_data();
    void tiesRoundAsTheCLibrary();
    void examDateString();
    void betweenVisits_data();
    void betweenVisits();
    void missingExamIsNeutral();

private:
    MaturixAssessment m_assessment;
};

void tst_MaturixAssessment::initTestCase()
{
    // A zone with daylight saving, so calendar days are not multiples of 86400 s.
    qputenv("TZ", "Europe/Zurich");
    tzset();
}

void tst_MaturixAssessment::interpolationByAge_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<double>("age");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sd");
    QTest::addColumn<QString>("text");

    QTest::newRow("boy 0.5 below the table") << qint64(1) << 0.5 << 0.0 << 0.0 << "-";
    QTest::newRow("boy 1.0 first row") << qint64(1) << 1.0 << 12.7 / 12 << 2.1 / 12 << "1y 0m (2.1m)";
    QTest::newRow("boy 10.0 row") << qint64(1) << 10.0 << 118.0 / 12 << 0.95 << "9y 10m (11.4m)";
    QTest::newRow("boy 10.25 between rows") << qint64(1) << 10.25 << 10.127083333333333 << 0.93125
                                            << "10y 1m (11.2m)";
    QTest::newRow("boy 17.0 last row") << qint64(1) << 17.0 << 206.0 / 12 << 15.4 / 12
                                       << "17y 2m (15.4m)";
    QTest::newRow("boy 18.0 extrapolated mean, no SD") << qint64(1) << 18.0 << 18.25 << 0.0 << "-";
    QTest::newRow("girl 15.0 last row") << qint64(2) << 15.0 << 184.3 / 12 << 11.2 / 12
                                        << "15y 4m (11.2m)";
    QTest::newRow("girl 1.25 half way") << qint64(2) << 1.25 << (18.4 + 12.7) / 24 << (2.7 + 3.4) / 24
                                        << "1y 3m (3.0m)";
    QTest::newRow("unspecified has no mean") << qint64(0) << 10.0 << 0.0 << 0.0 << "-";
    QTest::newRow("negative age") << qint64(1) << -3.0 << 0.0 << 0.0 << "-";
}

void tst_MaturixAssessment::interpolationByAge()
{
    QFETCH(qint64, gender);
    QFETCH(double, age);
    QFETCH(double, mean);
    QFETCH(double, sd);
    QFETCH(QString, text);
    const double gotMean = m_assessment.meanMaturixForAge(age, gender);
    const double gotSD = m_assessment.standardDeviationForAge(age, gender);
    QVERIFY2(qAbs(gotMean - mean) < 1e-12, qPrintable(QString::number(gotMean, 'g', 17)));
    QVERIFY2(qAbs(gotSD - sd) < 1e-12, qPrintable(QString::number(gotSD, 'g', 17)));
    QCOMPARE(MaturixAssessment::meanMaturixAndSDString(gotMean, gotSD), text);
}

void tst_MaturixAssessment::chronologicalAge_data()
{
    QTest::addColumn<QDate>("birth");
    QTest::addColumn<QDate>("exam");
    QTest::addColumn<double>("age");
    QTest::addColumn<QString>("text");

    QTest::newRow("years and months together") << QDate(2000, 1, 15) << QDate(2010, 3, 14)
                                               << 3711 / 365.25 << "10y 1m";
    QTest::newRow("3712 days") << QDate(2000, 1, 1) << QDate(2000, 1, 1).addDays(3712)
                               << 3712 / 365.25 << "10y 2m";
    QTest::newRow("across daylight saving") << QDate(2010, 1, 15) << QDate(2010, 7, 15)
                                            << 181 / 365.25 << "0y 6m";
    QTest::newRow("day before the monthly birthday") << QDate(2010, 1, 31) << QDate(2010, 2, 27)
                                                     << 27 / 365.25 << "0y 0m";
    QTest::newRow("end of month clamps") << QDate(2010, 1, 31) << QDate(2010, 2, 28)
                                         << 28 / 365.25 << "0y 1m";
    QTest::newRow("same day") << QDate(2010, 5, 5) << QDate(2010, 5, 5) << 0.0 << "0y 0m";
    QTest::newRow("29 Feb: years, then months from 28 Feb") << QDate(2008, 2, 29) << QDate(2019, 3, 28)
                                                            << 4045 / 365.25 << "11y 1m";
    QTest::newRow("29 Feb, five months on") << QDate(2008, 2, 29) << QDate(2019, 7, 28)
                                            << 4167 / 365.25 << "11y 5m";
    QTest::newRow("exam before birth") << QDate(2010, 3, 14) << QDate(2000, 1, 15)
                                       << -3711 / 365.25 << "-10y -1m";
    QTest::newRow("no birth date") << QDate() << QDate(2010, 3, 14) << 0.0 << "-";
    QTest::newRow("no exam date") << QDate(2000, 1, 15) << QDate() << 0.0 << "-";
}

void tst_MaturixAssessment::chronologicalAge()
{
    QFETCH(QDate, birth);
    QFETCH(QDate, exam);
    QFETCH(double, age);
    QFETCH(QString, text);
    const auto record = makeRecord(Gender::Male, birth, exam, 19);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(m_assessment.chronologicalAgeForRecord(0), age);
    QCOMPARE(m_assessment.chronologicalAgeStringForRecord(0), text);
    if (age <= 0.0) {
        QCOMPARE(m_assessment.meanMaturixForRecord(0), 0.0);
        QCOMPARE(m_assessment.standardDeviationForRecord(0), 0.0);
        QCOMPARE(m_assessment.meanMaturixAndSDStringForRecord(0), QStringLiteral("-"));
        QCOMPARE(m_assessment.maturixStringForRecord(0), QStringLiteral("10y 0m"));
    }
    m_assessment.setPatientRecord(nullptr);
}

void tst_MaturixAssessment::boneAgeAndScore_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<QDate>("exam");
    QTest::addColumn<double>("boneAge");
    QTest::addColumn<QString>("text");

    const QDate tenYears(2010, 1, 1); // 3653 days after 2000-01-01
    QTest::newRow("boy at ten, bone age ten") << qint64(1) << qint64(19) << tenYears << 10.0
                                              << "10y 0m (+0.2 SD)";
    QTest::newRow("boy behind") << qint64(1) << qint64(15) << tenYears << 6.0 << "6y 0m (-4.0 SD)";
    QTest::newRow("girl 82 months") << qint64(2) << qint64(15) << QDate(2007, 1, 1)
                                    << 82 / 12.0 << "6y 10m (-0.0 SD)";
    QTest::newRow("not assessed") << qint64(1) << qint64(0) << tenYears << -1.0 << "-";
    QTest::newRow("unspecified sex") << qint64(0) << qint64(0) << tenYears << 0.0 << "-";
    QTest::newRow("unspecified sex ignores a stale index") << qint64(0) << qint64(12) << tenYears
                                                           << 0.0 << "-";
    QTest::newRow("male index past the female list") << qint64(2) << qint64(30) << tenYears
                                                     << -1.0 << "-";
    QTest::newRow("negative index") << qint64(1) << qint64(-4) << tenYears << -1.0 << "-";
    QTest::newRow("past the table: no score") << qint64(1) << qint64(31) << QDate(2019, 1, 1)
                                              << 19.0 << "19y 0m";
}

void tst_MaturixAssessment::boneAgeAndScore()
{
    QFETCH(qint64, gender);
    QFETCH(qint64, index);
    QFETCH(QDate, exam);
    QFETCH(double, boneAge);
    QFETCH(QString, text);
    const auto record = makeRecord(gender, QDate(2000, 1, 1), exam, index);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(m_assessment.maturixForRecord(0), boneAge);
    QCOMPARE(m_assessment.maturixStringForRecord(0), text);
    m_assessment.setPatientRecord(nullptr);
}

void tst_MaturixAssessment::percentage_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("percentage");
    QTest::addColumn<QString>("text");

    QTest::newRow("boy with height") << qint64(1) << qint64(19) << 140.0 << 78.4
                                     << "78.4% of 178.6 cm";
    QTest::newRow("boy without height") << qint64(1) << qint64(19) << 0.0 << 78.4 << "78.4%";
    QTest::newRow("boy accelerated") << qint64(1) << qint64(21) << 0.0 << 78.6 << "78.6%";
    QTest::newRow("girl") << qint64(2) << qint64(18) << 130.0 << 86.2 << "86.2% of 150.8 cm";
    QTest::newRow("not assessed") << qint64(1) << qint64(0) << 140.0 << 0.0 << "-";
    QTest::newRow("unspecified sex") << qint64(0) << qint64(0) << 140.0 << 0.0 << "-";
}

void tst_MaturixAssessment::percentage()
{
    QFETCH(qint64, gender);
    QFETCH(qint64, index);
    QFETCH(double, height);
    QFETCH(double, percentage);
    QFETCH(QString, text);
    const auto record = makeRecord(gender, QDate(2000, 1, 1), QDate(2010, 1, 1), index, height);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(m_assessment.heightForRecord(0), height);
    QCOMPARE(m_assessment.percentageHeightAchievedForRecord(0), percentage);
    QCOMPARE(m_assessment.percentageHeightAchievedStringForRecord(0), text);
    m_assessment.setPatientRecord(nullptr);
}

// Exact binary ties (x.x5 held exactly) round to even, as the C library rounds.
void tst_MaturixAssessment::tiesRoundAsTheCLibrary_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<QDate>("birth");
    QTest::addColumn<QDate>("exam");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<double>("height");
    QTest::addColumn<QString>("text");

    // A height gives the percentage text; without one the bone age text is checked.
    QTest::newRow("final height 196.25") << qint64(1) << QDate(2016, 12, 9) << QDate(2031, 1, 12)
                                         << qint64(23) << 172.7 << "88.0% of 196.2 cm";
    QTest::newRow("SD score +2.25") << qint64(1) << QDate(2000, 1, 1) << QDate(2011, 1, 9)
                                    << qint64(23) << 0.0 << "13y 0m (+2.2 SD)";
    QTest::newRow("SD score -1.25") << qint64(2) << QDate(2000, 1, 1) << QDate(2011, 3, 16)
                                    << qint64(18) << 0.0 << "10y 0m (-1.2 SD)";
}

void tst_MaturixAssessment::tiesRoundAsTheCLibrary()
{
    QFETCH(qint64, gender);
    QFETCH(QDate, birth);
    QFETCH(QDate, exam);
    QFETCH(qint64, index);
    QFETCH(double, height);
    QFETCH(QString, text);
    const auto record = makeRecord(gender, birth, exam, index, height);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(height > 0.0 ? m_assessment.percentageHeightAchievedStringForRecord(0)
                          : m_assessment.maturixStringForRecord(0),
             text);
    m_assessment.setPatientRecord(nullptr);
}

void tst_MaturixAssessment::examDateString()
{
    auto record = makeRecord(Gender::Male, QDate(2000, 1, 1), QDate(2010, 3, 14), 0);
    record->addTRRecord();
    record->examination(1)->setExamDate(std::nullopt);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(m_assessment.examDateStringForRecord(0),
             QLocale::system().toString(QDate(2010, 3, 14), QLocale::ShortFormat));
    QCOMPARE(m_assessment.examDateStringForRecord(1), QString());
    m_assessment.setPatientRecord(nullptr);
}

void tst_MaturixAssessment::missingExamIsNeutral()
{
    const auto record = makeRecord(Gender::Male, QDate(2000, 1, 1), QDate(2010, 1, 1), 19, 140.0);
    m_assessment.setPatientRecord(record.get());
    QCOMPARE(m_assessment.chronologicalAgeForRecord(5), 0.0);
    QCOMPARE(m_assessment.chronologicalAgeStringForRecord(5), QStringLiteral("-"));
    QCOMPARE(m_assessment.maturixForRecord(5), 0.0);
    QCOMPARE(m_assessment.maturixStringForRecord(5), QStringLiteral("-"));
    QCOMPARE(m_assessment.percentageHeightAchievedStringForRecord(5), QStringLiteral("-"));
    QCOMPARE(m_assessment.examDateStringForRecord(5), QString());
    m_assessment.setPatientRecord(nullptr);
    QCOMPARE(m_assessment.maturixStringForRecord(0), QStringLiteral("-"));
}

void tst_MaturixAssessment::betweenVisits_data()
{
    QTest::addColumn<QDate>("previousDate");
    QTest::addColumn<qint64>("previousIndex");
    QTest::addColumn<double>("previousHeight");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<qint64>("index");
    QTest::addColumn<double>("height");
    QTest::addColumn<QString>("advance");
    QTest::addColumn<QString>("velocity");

    // Boy; standards 19, 20 and 21 are 10, 11 and 11.5 years.
    const QDate start(2010, 1, 15);
    QTest::newRow("one year: 365 days") << start << qint64(19) << 140.0 << start.addYears(1)
                                        << qint64(20) << 146.0 << "1.00" << "6.0";
    QTest::newRow("exactly three months: 90 days")
            << start << qint64(19) << 140.0 << QDate(2010, 4, 15) << qint64(20) << 141.0 << "4.06"
            << "4.1";
    QTest::newRow("a day under three months") << start << qint64(19) << 140.0 << QDate(2010, 4, 14)
                                              << qint64(20) << 141.0 << "-" << "-";
    QTest::newRow("same day") << start << qint64(19) << 140.0 << start << qint64(20) << 141.0 << "-"
                              << "-";
    // Compared in time, not in list order: the first one listed is the later.
    QTest::newRow("listed before an earlier visit") << start.addYears(1) << qint64(19) << 140.0
                                                    << start << qint64(20) << 146.0 << "-1.00" << "-6.0";
    QTest::newRow("bone age going back") << start << qint64(20) << 140.0 << start.addYears(1)
                                         << qint64(19) << 146.0 << "-1.00" << "6.0";
    QTest::newRow("half a standard in two years") << start << qint64(20) << 140.0 << start.addYears(2)
                                                  << qint64(21) << 150.0 << "0.25" << "5.0";
    QTest::newRow("previous not assessed") << start << qint64(0) << 140.0 << start.addYears(1)
                                           << qint64(20) << 146.0 << "-" << "6.0";
    QTest::newRow("this one not assessed") << start << qint64(19) << 140.0 << start.addYears(1)
                                           << qint64(0) << 146.0 << "-" << "6.0";
    QTest::newRow("previous height not measured") << start << qint64(19) << 0.0 << start.addYears(1)
                                                  << qint64(20) << 146.0 << "1.00" << "-";
    QTest::newRow("previous undated") << QDate() << qint64(19) << 140.0 << start.addYears(1)
                                      << qint64(20) << 146.0 << "-" << "-";
    QTest::newRow("this one undated") << start << qint64(19) << 140.0 << QDate() << qint64(20)
                                      << 146.0 << "-" << "-";
}

void tst_MaturixAssessment::betweenVisits()
{
    QFETCH(QDate, previousDate);
    QFETCH(qint64, previousIndex);
    QFETCH(double, previousHeight);
    QFETCH(QDate, date);
    QFETCH(qint64, index);
    QFETCH(double, height);
    QFETCH(QString, advance);
    QFETCH(QString, velocity);
    // The birth date plays no part: only the two visits count.
    auto record = makeRecord(Gender::Male, QDate(), previousDate, previousIndex, previousHeight);
    record->addTRRecord();
    TRRecord &exam = *record->trRecordsArray().back();
    exam.setExamDate(date.isValid() ? std::optional(AbsoluteDate::fromLocalDate(date)) : std::nullopt);
    exam.setMaturixIndex(index);
    exam.setHeight(height);
    m_assessment.setPatientRecord(record.get());
    // The earlier visit has nothing to compare with.
    const quint64 later = date.isValid() && previousDate.isValid() && date < previousDate ? 0 : 1;
    QCOMPARE(m_assessment.maturixAdvanceStringForRecord(1 - later), QStringLiteral("-"));
    QCOMPARE(m_assessment.heightVelocityStringForRecord(1 - later), QStringLiteral("-"));
    QCOMPARE(m_assessment.maturixAdvanceStringForRecord(later), advance);
    QCOMPARE(m_assessment.heightVelocityStringForRecord(later), velocity);
    m_assessment.setPatientRecord(nullptr);
}

QTEST_APPLESS_MAIN(tst_MaturixAssessment)
#include "tst_maturixassessment.moc"
