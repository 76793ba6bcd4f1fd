#include "GregorianCalendar.h"

namespace {
// Largest n (towards zero from the true difference) such that stepping
// `from` by n units does not pass `to`.
template<typename Step>
qint64 wholeUnitsBetween(const QDateTime &from, const QDateTime &to, qint64 estimate, Step step)
{
    if (from <= to) {
        qint64 n = std::max<qint64>(0, estimate);
        while (n > 0 && step(from, n) > to)
            --n;
        while (step(from, n + 1) <= to)
            ++n;
        return n;
    }
    qint64 n = std::min<qint64>(0, estimate);
    while (n < 0 && step(from, n) < to)
        ++n;
    while (step(from, n - 1) >= to)
        --n;
    return n;
}
} // namespace

qint64 GregorianCalendar::daysBetween(const AbsoluteDate &from, const AbsoluteDate &to)
{
    const QDateTime a = from.toLocalDateTime();
    const QDateTime b = to.toLocalDateTime();
    if (!a.isValid() || !b.isValid())
        return 0;
    return wholeUnitsBetween(a, b, a.date().daysTo(b.date()),
                             [](const QDateTime &d, qint64 n) { return d.addDays(n); });
}

GregorianCalendar::YearsAndMonths GregorianCalendar::yearsAndMonthsBetween(const AbsoluteDate &from,
                                                                           const AbsoluteDate &to)
{
    const QDateTime a = from.toLocalDateTime();
    const QDateTime b = to.toLocalDateTime();
    if (!a.isValid() || !b.isValid())
        return {};
    const qint64 estimate = (qint64(b.date().year()) - a.date().year()) * 12
            + (b.date().month() - a.date().month());
    const qint64 months = wholeUnitsBetween(
            a, b, estimate, [](const QDateTime &d, qint64 n) { return d.addMonths(int(n)); });
    return { months / 12, months % 12 };
}
