#include "DCMCalendarDate.h"

DCMCalendarDate DCMCalendarDate::dicomDateWithDate(const QDateTime &date)
{
    return DCMCalendarDate(date.toLocalTime(), Kind::Date);
}

DCMCalendarDate DCMCalendarDate::dicomTimeWithDate(const QDateTime &date)
{
    return DCMCalendarDate(date.toLocalTime(), Kind::Time);
}

QString DCMCalendarDate::dateString() const
{
    if (!isValid())
        return {};
    return m_kind == Kind::Date ? m_dateTime.date().toString(QStringLiteral("yyyyMMdd"))
                                : m_dateTime.time().toString(QStringLiteral("HHmmss"));
}
