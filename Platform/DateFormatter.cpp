#include "DateFormatter.h"

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
