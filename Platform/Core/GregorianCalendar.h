#pragma once

#include "AbsoluteDate.h"

#include <QtGlobal>

// Calendar differences between two instants in the Gregorian calendar of ICU,
// in the user's current time zone, counted as ICU's calendar counts them
// (ucal_getFieldDifference): whole units, truncated towards zero, a month
// added to the 31st clamped to the month's last day.
class GregorianCalendar
{
public:
    struct YearsAndMonths
    {
        qint64 years = 0;
        qint64 months = 0;
    };

    // Whole days from `from` to `to`; negative when `to` comes first.
    static qint64 daysBetween(const AbsoluteDate &from, const AbsoluteDate &to);
    // Whole months alone.
    static qint64 monthsBetween(const AbsoluteDate &from, const AbsoluteDate &to);
    // Whole years, then the whole months from the last anniversary (a birth on
    // 29 February has its anniversary on 28 February in a common year).
    static YearsAndMonths yearsAndMonthsBetween(const AbsoluteDate &from, const AbsoluteDate &to);
};
