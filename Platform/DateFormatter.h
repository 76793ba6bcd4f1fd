#pragma once

#include "AbsoluteDate.h"

#include <QLocale>
#include <QString>

// Dates shown in the user's locale's short date style, without a time.
class DateFormatter
{
public:
    explicit DateFormatter(const QLocale &locale = QLocale::system());

    QString shortDateString(const AbsoluteDate &date) const;

private:
    QLocale m_locale;
};
