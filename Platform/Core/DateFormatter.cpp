#include "DateFormatter.h"

#include <QRegularExpression>

namespace {
// The locale's short format with its year field widened to four digits or
// narrowed to two, so that either can be typed whatever the locale shows.
QString withFourDigitYears(QString format)
{
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)yy(?!y)"));
    return format.replace(shortYear, QStringLiteral("yyyy"));
}

QString withTwoDigitYears(QString format)
{
    static const QRegularExpression longYear(QStringLiteral("(?<!y)yyyy(?!y)"));
    return format.replace(longYear, QStringLiteral("yy"));
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
    const QString shortYearFormat = withTwoDigitYears(format);

    // Two digits first: a four-digit field would read "16" as the year 16.
    // Qt puts two-digit years in 19xx; the century is chosen below.
    const QDate parsed = shortYearFormat.contains(QStringLiteral("yy"))
            ? m_locale.toDate(trimmed, shortYearFormat)
            : QDate();
    if (!parsed.isValid()) {
        if (const QDate date = m_locale.toDate(trimmed, withFourDigitYears(format)); date.isValid())
            return date;
        return QDate::fromString(trimmed, Qt::ISODate);
    }

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
