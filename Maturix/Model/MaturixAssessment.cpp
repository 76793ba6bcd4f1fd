#include "MaturixAssessment.h"

#include "CFormat.h"
#include "DateFormatter.h"
#include "Gender.h"
#include "GregorianCalendar.h"
#include "PercentageHeight.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {
// The report formats are localisable; the English format is the key.
QString localized(const char *key)
{
    return QCoreApplication::translate("TRDocument", key);
}

// Numbers are formatted by the C library, as the platform formats them.
template<typename... Args>
QString format(const char *key, Args... args)
{
    return CFormat::string(localized(key).toUtf8().constData(), args...);
}

// Greulich and Pyle standards as bone ages in years; -1.0 is "not assessed".
// Months that are not a multiple of three are months / 12.0, the very doubles
// the height tables compare against.
constexpr double maleStandards[] = {
    -1.0, 0.0, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 32 / 12.0, 3.0, 3.5, 4.0, 4.5, 5.0, 6.0,
    7.0,  8.0, 9.0,  10.0, 11.0, 11.5, 12.5, 13.0, 13.5, 14.0, 15.0, 15.5, 16.0, 17.0, 18.0, 19.0,
};
constexpr double femaleStandards[] = {
    -1.0, 0.0, 0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 2.5, 3.0, 3.5, 50 / 12.0, 5.0,
    5.75, 82 / 12.0, 94 / 12.0, 106 / 12.0, 10.0, 11.0, 12.0, 13.0, 13.5, 14.0, 15.0, 16.0, 17.0, 18.0,
};
static_assert(std::size(maleStandards) == 32);
static_assert(std::size(femaleStandards) == 28);

const QString notAssessedTitle = QStringLiteral("-");
} // namespace

MaturixAssessment::MaturixAssessment()
{
    for (double boneAge : maleStandards)
        addDataPointToMaleChronologicalData(boneAge);
    for (double boneAge : femaleStandards)
        addDataPointToFemaleChronologicalData(boneAge);
}

void MaturixAssessment::addDataPointToMaleChronologicalData(double boneAge)
{
    m_male.push_back(boneAge);
}

void MaturixAssessment::addDataPointToFemaleChronologicalData(double boneAge)
{
    m_female.push_back(boneAge);
}

QString MaturixAssessment::titleForBoneAge(double boneAge)
{
    if (!(boneAge >= 0.0))
        return notAssessedTitle;
    const long long months = std::llround(boneAge * 12.0);
    return CFormat::string("%dy %dm", int(months / 12), int(months % 12));
}

QStringList MaturixAssessment::standardTitlesForGender(qint64 gender) const
{
    QStringList titles { notAssessedTitle };
    if (const std::vector<double> *standards = standardsForGender(gender)) {
        for (std::size_t k = 1; k < standards->size(); ++k)
            titles.append(titleForBoneAge((*standards)[k]));
    }
    return titles;
}

const std::vector<double> *MaturixAssessment::standardsForGender(qint64 gender) const
{
    if (gender == Gender::Male)
        return &m_male;
    if (gender == Gender::Female)
        return &m_female;
    return nullptr;
}

const TRRecord *MaturixAssessment::exam(quint64 i) const
{
    return m_record ? m_record->examination(i) : nullptr;
}

qint64 MaturixAssessment::gender() const
{
    return m_record ? m_record->gender() : Gender::Unspecified;
}

qint64 MaturixAssessment::validMaturixIndexForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    const std::vector<double> *standards = standardsForGender(gender());
    if (!record || !standards)
        return 0;
    const qint64 index = record->maturixIndex();
    return index >= 0 && quint64(index) < standards->size() ? index : 0;
}

QString MaturixAssessment::examDateStringForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    if (!record || !record->examDate())
        return QString();
    return DateFormatter().shortDateString(*record->examDate());
}

double MaturixAssessment::chronologicalAgeForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    if (!record || !record->examDate() || !m_record->birthDate())
        return 0.0;
    const qint64 days = GregorianCalendar::daysBetween(*m_record->birthDate(), *record->examDate());
    return double(days) / 365.25;
}

QString MaturixAssessment::chronologicalAgeStringForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    if (!record || !record->examDate() || !m_record->birthDate())
        return notAssessedTitle;
    const auto age =
            GregorianCalendar::yearsAndMonthsBetween(*m_record->birthDate(), *record->examDate());
    return format("%ldy %ldm", long(age.years), long(age.months));
}

double MaturixAssessment::maturixForRecord(quint64 i) const
{
    const std::vector<double> *standards = standardsForGender(gender());
    if (!standards || !exam(i))
        return 0.0;
    return (*standards)[std::size_t(validMaturixIndexForRecord(i))];
}

QString MaturixAssessment::maturixStringForRecord(quint64 i) const
{
    const QString title = maturixTitleForRecord(i);
    const std::optional<double> z = sdScoreForRecord(i);
    return z ? title + format(" (%+.1f SD)", *z) : title;
}

QString MaturixAssessment::maturixTitleForRecord(quint64 i) const
{
    const qint64 sex = gender();
    if (!standardsForGender(sex) || !exam(i))
        return notAssessedTitle;
    // The title the window's list shows for the standard ("-" for index 0).
    return titleForBoneAge(maturixForRecord(i));
}

bool MaturixAssessment::isAssessed(quint64 i) const
{
    return maturixTitleForRecord(i) != notAssessedTitle;
}

std::optional<double> MaturixAssessment::sdScoreForRecord(quint64 i) const
{
    if (!isAssessed(i))
        return std::nullopt;
    // The age is computed once for both the mean and the SD.
    const double age = chronologicalAgeForRecord(i);
    const double sd = standardDeviationForAge(age, gender());
    if (sd == 0.0)
        return std::nullopt;
    return (maturixForRecord(i) - meanMaturixForAge(age, gender())) / sd;
}

QString MaturixAssessment::sdScoreStringForRecord(quint64 i) const
{
    const std::optional<double> z = sdScoreForRecord(i);
    return z ? format("%+.1f", *z) : notAssessedTitle;
}

std::optional<double> MaturixAssessment::maturixMinusChronologicalAgeForRecord(quint64 i) const
{
    const double a = chronologicalAgeForRecord(i);
    // As on the chart: no age before a birth or without the dates.
    if (!isAssessed(i) || !(a > 0.0))
        return std::nullopt;
    return maturixForRecord(i) - a;
}

QString MaturixAssessment::maturixMinusChronologicalAgeStringForRecord(quint64 i) const
{
    const std::optional<double> difference = maturixMinusChronologicalAgeForRecord(i);
    if (!difference)
        return notAssessedTitle;
    const long long months = std::llround(*difference * 12.0);
    const long long magnitude = std::llabs(months);
    return QLatin1String(months < 0 ? "-" : "+")
            + format("%ldy %ldm", long(magnitude / 12), long(magnitude % 12));
}

double MaturixAssessment::meanMaturixForRecord(quint64 i) const
{
    return meanMaturixForAge(chronologicalAgeForRecord(i), gender());
}

double MaturixAssessment::meanMaturixForAge(double a, qint64 sex) const
{
    const quint64 n = m_maturixData.numberOfRecordsForGender(sex);
    quint64 k = 0;
    while (k + 1 < n) {
        if (chronologicalAgeForIndex(k, sex) > a)
            break;
        ++k;
    }
    if (k == 0)
        return 0.0;
    const double c0 = chronologicalAgeForIndex(k - 1, sex);
    const double c1 = chronologicalAgeForIndex(k, sex);
    const double m0 = meanMaturixForIndex(k - 1, sex);
    const double m1 = meanMaturixForIndex(k, sex);
    const double f = (a - c0) / (c1 - c0);
    // Past the last row the line through the last two rows is extended.
    return (m1 - m0) * f + m0;
}

double MaturixAssessment::standardDeviationForRecord(quint64 i) const
{
    return standardDeviationForAge(chronologicalAgeForRecord(i), gender());
}

double MaturixAssessment::standardDeviationForAge(double a, qint64 sex) const
{
    if (a == 0.0)
        return 0.0;
    const quint64 n = m_maturixData.numberOfRecordsForGender(sex);
    quint64 k = 0;
    while (k + 1 < n) {
        if (chronologicalAgeForIndex(k, sex) >= a)
            break;
        ++k;
    }
    if (k == 0)
        return chronologicalAgeForIndex(0, sex) > a ? 0.0 : standardDeviationForIndex(0, sex);
    const double c0 = chronologicalAgeForIndex(k - 1, sex);
    const double c1 = chronologicalAgeForIndex(k, sex);
    if (a > c1)
        return 0.0; // no extrapolation of the SD
    const double s0 = standardDeviationForIndex(k - 1, sex);
    const double s1 = standardDeviationForIndex(k, sex);
    const double f = (a - c0) / (c1 - c0);
    return f * (s1 - s0) + s0;
}

QString MaturixAssessment::meanMaturixAndSDStringForRecord(quint64 i) const
{
    const double age = chronologicalAgeForRecord(i);
    const qint64 sex = gender();
    return meanMaturixAndSDString(meanMaturixForAge(age, sex), standardDeviationForAge(age, sex));
}

QString MaturixAssessment::meanMaturixAndSDString(double x, double s)
{
    if (x == 0.0 || s == 0.0)
        return notAssessedTitle;
    const double years = std::trunc(x);
    return format("%.0fy %.0fm (%.1fm)", years, std::floor((x - years) * 12.0), s * 12.0);
}

double MaturixAssessment::heightForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    return record ? record->height() : 0.0;
}

double MaturixAssessment::percentageHeightAchievedForRecord(quint64 i) const
{
    const qint64 sex = gender();
    if (sex == Gender::Male)
        return MalePercentageHeight(chronologicalAgeForRecord(i), maturixForRecord(i));
    if (sex == Gender::Female)
        return FemalePercentageHeight(chronologicalAgeForRecord(i), maturixForRecord(i));
    return 0.0;
}

QString MaturixAssessment::percentageHeightAchievedStringForRecord(quint64 i) const
{
    const QString percentage = percentageStringForRecord(i);
    const double finalHeight = predictedAdultHeightForRecord(i);
    if (finalHeight == 0.0)
        return percentage;
    // The format's object placeholder takes the percentage text.
    QString ofHeight = localized("%@ of %.1f cm");
    ofHeight.replace(QStringLiteral("%@"), QStringLiteral("%s"));
    return CFormat::string(ofHeight.toUtf8().constData(), percentage.toUtf8().constData(),
                           finalHeight);
}

QString MaturixAssessment::percentageStringForRecord(quint64 i) const
{
    const double p = percentageHeightAchievedForRecord(i);
    return p == 0.0 ? notAssessedTitle : format("%.1f%%", p);
}

double MaturixAssessment::predictedAdultHeightForRecord(quint64 i) const
{
    const double p = percentageHeightAchievedForRecord(i);
    const double h = heightForRecord(i);
    return p != 0.0 && h > 0.0 ? FinalHeight(h, p / 100.0) : 0.0;
}

QString MaturixAssessment::predictedAdultHeightStringForRecord(quint64 i) const
{
    const double finalHeight = predictedAdultHeightForRecord(i);
    return finalHeight != 0.0 ? format("%.1f", finalHeight) : notAssessedTitle;
}

QString MaturixAssessment::heightStringForRecord(quint64 i) const
{
    const double h = heightForRecord(i);
    return h > 0.0 ? format("%.1f", h) : notAssessedTitle;
}

std::optional<quint64> MaturixAssessment::previousDatedExamForRecord(quint64 i) const
{
    const TRRecord *record = exam(i);
    if (!record || !record->examDate())
        return std::nullopt;
    // By date, not by place in the list: a file may keep its examinations in
    // any order. Of two on one date, the one listed first counts as earlier.
    const auto before = [this](quint64 a, quint64 b) {
        const AbsoluteDate dateA = *exam(a)->examDate();
        const AbsoluteDate dateB = *exam(b)->examDate();
        return dateA < dateB || (!(dateB < dateA) && a < b);
    };
    std::optional<quint64> previous;
    for (quint64 j = 0; exam(j); ++j) {
        if (j != i && exam(j)->examDate() && before(j, i) && (!previous || before(*previous, j)))
            previous = j;
    }
    return previous;
}

std::optional<double> MaturixAssessment::yearsSincePreviousVisit(quint64 i, quint64 *previous) const
{
    const TRRecord *record = exam(i);
    const std::optional<quint64> j = previousDatedExamForRecord(i);
    if (!record || !record->examDate() || !j)
        return std::nullopt;
    const AbsoluteDate from = *exam(*j)->examDate();
    const AbsoluteDate to = *record->examDate();
    if (GregorianCalendar::monthsBetween(from, to) < minimumMonthsBetweenVisits)
        return std::nullopt;
    *previous = *j;
    // Whole days over 365.25, as the chronological age counts them.
    return double(GregorianCalendar::daysBetween(from, to)) / 365.25;
}

std::optional<double> MaturixAssessment::maturixAdvanceForRecord(quint64 i) const
{
    quint64 previous = 0;
    const std::optional<double> years = yearsSincePreviousVisit(i, &previous);
    if (!years || !isAssessed(i) || !isAssessed(previous))
        return std::nullopt;
    return (maturixForRecord(i) - maturixForRecord(previous)) / *years;
}

QString MaturixAssessment::maturixAdvanceStringForRecord(quint64 i) const
{
    const std::optional<double> advance = maturixAdvanceForRecord(i);
    return advance ? format("%.2f", *advance) : notAssessedTitle;
}

std::optional<double> MaturixAssessment::heightVelocityForRecord(quint64 i) const
{
    quint64 previous = 0;
    const std::optional<double> years = yearsSincePreviousVisit(i, &previous);
    if (!years || !(heightForRecord(i) > 0.0) || !(heightForRecord(previous) > 0.0))
        return std::nullopt;
    return (heightForRecord(i) - heightForRecord(previous)) / *years;
}

QString MaturixAssessment::heightVelocityStringForRecord(quint64 i) const
{
    const std::optional<double> velocity = heightVelocityForRecord(i);
    return velocity ? format("%.1f", *velocity) : notAssessedTitle;
}

bool MaturixAssessment::hidesAgeForRecord(quint64 i) const
{
    return m_blindReading && exam(i) && !isAssessed(i);
}

double MaturixAssessment::chronologicalAgeForIndex(quint64 index, qint64 gender) const
{
    return m_maturixData.chronologicalAgeForIndex(index, gender);
}

double MaturixAssessment::meanMaturixForIndex(quint64 index, qint64 gender) const
{
    return m_maturixData.meanMaturixForIndex(index, gender);
}

double MaturixAssessment::standardDeviationForIndex(quint64 index, qint64 gender) const
{
    return m_maturixData.standardDeviationForIndex(index, gender);
}
