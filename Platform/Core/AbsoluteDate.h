#pragma once

#include <QDateTime>

#include <compare>
#include <optional>

// A point in time as the platform's absolute time: seconds since
// 2001-01-01 00:00:00 UTC. Patient files store exactly this double, so it is
// kept untouched; conversions to calendar dates happen only at the edges.
class AbsoluteDate
{
public:
    static constexpr qint64 referenceDateUnixSeconds = 978307200;

    constexpr AbsoluteDate() = default;
    constexpr explicit AbsoluteDate(double secondsSinceReferenceDate)
        : m_seconds(secondsSinceReferenceDate)
    {
    }

    // The start of year 1: earlier than any real date, and what preferences
    // hold for "never".
    static constexpr AbsoluteDate distantPast() { return AbsoluteDate(-63114076800.0); }
    static AbsoluteDate now();
    static AbsoluteDate fromDateTime(const QDateTime &dateTime);
    // Midnight at the start of the given calendar day in the local time zone.
    static AbsoluteDate fromLocalDate(const QDate &date);

    constexpr double secondsSinceReferenceDate() const { return m_seconds; }
    // Millisecond precision, which is what QDateTime can hold; invalid when
    // the value lies beyond any calendar date QDateTime represents.
    QDateTime toDateTime() const;
    // The same instant in whole milliseconds since 1970-01-01 00:00:00 UTC;
    // nothing where toDateTime() is invalid.
    std::optional<qint64> millisecondsSinceUnixEpoch() const;
    QDateTime toLocalDateTime() const;

    constexpr auto operator<=>(const AbsoluteDate &) const = default;

private:
    double m_seconds = 0.0;
};
