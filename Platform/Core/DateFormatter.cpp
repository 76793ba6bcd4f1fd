#include "DateFormatter.h"

#include <QRegularExpression>

namespace {
// The locale's short format with every two-digit year field widened to four.
QString withFourDigitYears(QString format)
{
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)yy(?!y)"));
    return format.replace(shortYear, QStringLiteral("yyyy"));
}

QDate inCentury(const QDate &parsed, int century)
{
    return QDate(century + parsed.year() % 100, parsed.month(), parsed.day());
}
} // namespace

DateFormatter::DateFormatter(const QLocale &locale)
    : m_locale(locale)
{
}

QString DateFormatter::shortDateString(const AbsoluteDate &date) const
{
    const QDateTime local = date.toLocalDateTime();
    if (!local.isValid())
        return {};
    return m_locale.toString(local.date(), QLocale::ShortFormat);
}

QDate DateFormatter::calendarDateFromString(const QString &text, TwoDigitYears twoDigitYears,
                                            const QDate &today) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QString format = m_locale.dateFormat(QLocale::ShortFormat);
    const QString longYears = withFourDigitYears(format);

    if (const QDate date = m_locale.toDate(trimmed, longYears); date.isValid())
        return date;
    if (const QDate date = QDate::fromString(trimmed, Qt::ISODate); date.isValid())
        return date;
    if (longYears == format)
        return {};
    const QDate parsed = m_locale.toDate(trimmed, format); // Qt puts two-digit years in 19xx
    if (!parsed.isValid())
        return {};

    const int thisCentury = today.year() - today.year() % 100;
    QDate date = inCentury(parsed, thisCentury);
    // 29 February exists in some centuries only.
    if (!date.isValid())
        date = inCentury(parsed, thisCentury - 100);
    if (!date.isValid())
        return parsed;
    if (twoDigitYears == TwoDigitYears::InThePast) {
        if (date > today)
            date = inCentury(parsed, thisCentury - 100);
        return date.isValid() ? date : parsed;
    }
    // Nearest to today of the three neighbouring centuries.
    QDate best = date;
    for (int century : { thisCentury - 100, thisCentury + 100 }) {
        const QDate candidate = inCentury(parsed, century);
        if (candidate.isValid() && qAbs(candidate.daysTo(today)) < qAbs(best.daysTo(today)))
            best = candidate;
    }
    return best;
}

std::optional<AbsoluteDate> DateFormatter::dateFromString(const QString &text,
                                                          TwoDigitYears twoDigitYears,
                                                          const QDate &today) const
{
    const QDate date = calendarDateFromString(text, twoDigitYears, today);
    if (!date.isValid())
        return std::nullopt;
    return AbsoluteDate::fromLocalDate(date);
}
