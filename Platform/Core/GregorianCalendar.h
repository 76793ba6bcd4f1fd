#pragma once

#include "AbsoluteDate.h"

#include <QtGlobal>

// Calendar differences between two instants in the user's current time zone,
// truncated towards zero like the platform calendar's components.
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
    // Whole years and remaining whole months, computed together.
    static YearsAndMonths yearsAndMonthsBetween(const AbsoluteDate &from, const AbsoluteDate &to);
};
