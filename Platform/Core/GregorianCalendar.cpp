#include "GregorianCalendar.h"

#include <unicode/ucal.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {
constexpr double millisecondsPerDay = 86400000.0;
constexpr double averageYear = 365.2425 * millisecondsPerDay;
constexpr double averageMonth = averageYear / 12.0;

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

// What ucal_getFieldDifference answers: the whole units of `field` from the
// calendar's time to `target`, the largest count (towards zero) whose
// ucal_add does not pass the target, with the calendar left at the start
// plus that count. ICU searches from one unit upwards, some thirty ucal_add
// for a span of days over years; starting from an estimate takes one or two.
int32_t fieldDifference(UCalendar *calendar, UDate target, UCalendarDateFields field,
                        double averageUnit)
{
    UErrorCode status = U_ZERO_ERROR;
    const UDate start = ucal_getMillis(calendar, &status);
    const auto reached = [&](int32_t n) {
        ucal_setMillis(calendar, start, &status);
        ucal_add(calendar, field, n, &status);
        return ucal_getMillis(calendar, &status);
    };
    const double estimate = std::trunc((target - start) / averageUnit);
    int32_t n = int32_t(std::clamp(estimate, -2.0e9, 2.0e9));
    UDate at = reached(n);
    if (start <= target) {
        n = std::max(n, 0);
        while (n > 0 && at > target)
            at = reached(--n);
        while (at != target && U_SUCCESS(status)) {
            const UDate next = reached(n + 1);
            if (next > target)
                break;
            ++n;
            at = next;
        }
    } else {
        n = std::min(n, 0);
        while (n < 0 && at < target)
            at = reached(++n);
        while (at != target && U_SUCCESS(status)) {
            const UDate next = reached(n - 1);
            if (next < target)
                break;
            --n;
            at = next;
        }
    }
    ucal_setMillis(calendar, at, &status);
    return U_SUCCESS(status) ? n : 0;
}
} // namespace

qint64 GregorianCalendar::daysBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    return span ? fieldDifference(span->calendar, span->to, UCAL_DATE, millisecondsPerDay) : 0;
}

qint64 GregorianCalendar::monthsBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    return span ? fieldDifference(span->calendar, span->to, UCAL_MONTH, averageMonth) : 0;
}

GregorianCalendar::YearsAndMonths GregorianCalendar::yearsAndMonthsBetween(const AbsoluteDate &from,
                                                                           const AbsoluteDate &to)
{
    const auto span = spanBetween(from, to);
    if (!span)
        return {};
    // The year count leaves the calendar on the last anniversary.
    const qint64 years = fieldDifference(span->calendar, span->to, UCAL_YEAR, averageYear);
    const qint64 months = fieldDifference(span->calendar, span->to, UCAL_MONTH, averageMonth);
    return { years, months };
}
