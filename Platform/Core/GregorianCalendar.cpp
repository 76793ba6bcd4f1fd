#include "GregorianCalendar.h"

#include <unicode/ucal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {
constexpr double millisecondsPerDay = 86400000.0;
constexpr double averageYear = 365.2425 * millisecondsPerDay;

struct CalendarCloser
{
    void operator()(UCalendar *calendar) const { ucal_close(calendar); }
};

// One ICU calendar per thread in the user's time zone, opened once and
// opened again when the zone changes. The zone is the one the C library's
// local time uses: TZ when set, else the system's zone, which (like the C
// library) is read once.
class ZoneCalendar
{
public:
    // The calendar, or null when ICU cannot open one.
    UCalendar *calendar()
    {
        const char *zoneSetting = std::getenv("TZ");
        const bool isSet = zoneSetting != nullptr;
        if (!m_calendar || isSet != m_zoneSettingIsSet
            || (isSet && m_zoneSetting != zoneSetting)) {
            m_zoneSettingIsSet = isSet;
            m_zoneSetting = isSet ? zoneSetting : "";
            m_calendar = open();
        }
        return m_calendar.get();
    }

private:
    static std::unique_ptr<UCalendar, CalendarCloser> open()
    {
        UErrorCode status = U_ZERO_ERROR;
        UChar zone[128];
        // Detected afresh, unlike ICU's default zone, which is fixed at first use.
        const int32_t length = ucal_getHostTimeZone(zone, int32_t(std::size(zone)), &status);
        if (U_FAILURE(status))
            return nullptr;
        std::unique_ptr<UCalendar, CalendarCloser> calendar(
                ucal_open(zone, length, "en_US_POSIX", UCAL_GREGORIAN, &status));
        return U_SUCCESS(status) ? std::move(calendar) : nullptr;
    }

    std::unique_ptr<UCalendar, CalendarCloser> m_calendar;
    std::string m_zoneSetting;
    bool m_zoneSettingIsSet = false;
};

thread_local ZoneCalendar zoneCalendar;

// The calendar set to `from`, and `to` as ICU's time; nothing when either
// date lies beyond the calendar or ICU fails.
struct Span
{
    UCalendar *calendar;
    UDate to;
};

std::optional<Span> spanBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const auto start = from.millisecondsSinceUnixEpoch();
    const auto end = to.millisecondsSinceUnixEpoch();
    UCalendar *calendar = zoneCalendar.calendar();
    if (!start || !end || !calendar)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    ucal_setMillis(calendar, UDate(*start), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return Span { calendar, UDate(*end) };
}

// A calendar unit, with what the search needs to know of its length.
struct Unit
{
    UCalendarDateFields field;
    // For the first guess.
    double averageLength;
    // No one step of the unit is shorter, from 1583 on (after the Julian
    // calendar's last days) and whatever a zone's offset does (it never jumps
    // by more than a day): 28 days less a day for a month, 365 less a day for
    // a year, with a day to spare. Days have no such bound, as an offset
    // change can shorten a day to an hour.
    double shortestLength;
};

constexpr Unit dayUnit { UCAL_DATE, millisecondsPerDay, 0.0 };
constexpr Unit monthUnit { UCAL_MONTH, averageYear / 12.0, 26.0 * millisecondsPerDay };
constexpr Unit yearUnit { UCAL_YEAR, averageYear, 363.0 * millisecondsPerDay };
// 1583-01-01 00:00 UTC.
constexpr UDate firstGregorianYear = -12212553600000.0;

// What ucal_getFieldDifference answers: the whole units from the calendar's
// time to `target`, the largest count (towards zero) whose ucal_add does not
// pass the target, with the calendar left at the start plus that count. ICU
// searches upwards from one unit, some thirty ucal_add for a span of years;
// starting from a guess takes one or two.
int32_t fieldDifference(UCalendar *calendar, UDate target, const Unit &unit)
{
    UErrorCode status = U_ZERO_ERROR;
    const UDate start = ucal_getMillis(calendar, &status);
    const auto reached = [&](int32_t n) {
        ucal_setMillis(calendar, start, &status);
        ucal_add(calendar, unit.field, n, &status);
        return ucal_getMillis(calendar, &status);
    };
    // Closer to the target than one shortest step, no further step fits.
    const double shortest = std::min(start, target) >= firstGregorianYear + millisecondsPerDay
            ? unit.shortestLength
            : 0.0;
    const double guess = std::trunc((target - start) / unit.averageLength);
    int32_t n = int32_t(std::clamp(guess, -2.0e9, 2.0e9));
    UDate at = reached(n);
    // Counting towards the target: up when it lies ahead, down when behind.
    const int32_t step = start <= target ? 1 : -1;
    const auto passes = [&](UDate time) { return step > 0 ? time > target : time < target; };
    while (n * step > 0 && passes(at))
        at = reached(n -= step);
    while (at != target && std::fabs(target - at) >= shortest && U_SUCCESS(status)) {
        const UDate next = reached(n + step);
        if (passes(next))
            break;
        n += step;
        at = next;
    }
    ucal_setMillis(calendar, at, &status);
    return U_SUCCESS(status) ? n : 0;
}
} // namespace

qint64 GregorianCalendar::daysBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    return span ? fieldDifference(span->calendar, span->to, dayUnit) : 0;
}

qint64 GregorianCalendar::monthsBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    return span ? fieldDifference(span->calendar, span->to, monthUnit) : 0;
}

GregorianCalendar::YearsAndMonths GregorianCalendar::yearsAndMonthsBetween(const AbsoluteDate &from,
                                                                           const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    if (!span)
        return {};
    // The year count leaves the calendar on the last anniversary.
    const qint64 years = fieldDifference(span->calendar, span->to, yearUnit);
    const qint64 months = fieldDifference(span->calendar, span->to, monthUnit);
    return { years, months };
}
