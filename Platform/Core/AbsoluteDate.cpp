#include "AbsoluteDate.h"

#include <QTimeZone>

#include <cmath>

AbsoluteDate AbsoluteDate::now()
{
    return fromDateTime(QDateTime::currentDateTimeUtc());
}

AbsoluteDate AbsoluteDate::fromDateTime(const QDateTime &dateTime)
{
    const qint64 ms = dateTime.toMSecsSinceEpoch() - referenceDateUnixSeconds * 1000;
    return AbsoluteDate(double(ms) / 1000.0);
}

AbsoluteDate AbsoluteDate::fromLocalDate(const QDate &date)
{
    return fromDateTime(date.startOfDay(Qt::LocalTime));
}

std::optional<qint64> AbsoluteDate::millisecondsSinceUnixEpoch() const
{
    const double ms = std::floor(m_seconds * 1000.0 + 0.5);
    // A corrupt or absurd value must not overflow the integer conversion.
    constexpr double limitMs = 8.0e15;
    if (!std::isfinite(ms) || std::fabs(ms) > limitMs)
        return std::nullopt;
    return qint64(ms) + referenceDateUnixSeconds * 1000;
}

QDateTime AbsoluteDate::toDateTime() const
{
    const std::optional<qint64> ms = millisecondsSinceUnixEpoch();
    return ms ? QDateTime::fromMSecsSinceEpoch(*ms, Qt::UTC) : QDateTime();
}

QDateTime AbsoluteDate::toLocalDateTime() const
{
    return toDateTime().toLocalTime();
}
