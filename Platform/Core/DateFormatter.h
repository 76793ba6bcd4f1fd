#pragma once

#include "AbsoluteDate.h"

#include <QLocale>
#include <QString>

#include <optional>

// Dates shown and parsed in the user's locale's short date style, without a
// time. Four-digit years are always accepted, as is ISO 8601 (yyyy-MM-dd).
class DateFormatter
{
public:
    // How a two-digit year picks its century.
    enum class TwoDigitYears {
        InThePast, // this century or the last, whichever is not in the future (birth dates)
        Nearest, // the century that puts the date nearest to today
    };

    explicit DateFormatter(const QLocale &locale = QLocale::system());

    QString shortDateString(const AbsoluteDate &date) const;
    // Midnight local time of the parsed day; nothing when the text does not parse.
    std::optional<AbsoluteDate> dateFromString(const QString &text,
                                               TwoDigitYears twoDigitYears = TwoDigitYears::Nearest,
                                               const QDate &today = QDate::currentDate()) const;
    QDate calendarDateFromString(const QString &text,
                                 TwoDigitYears twoDigitYears = TwoDigitYears::Nearest,
                                 const QDate &today = QDate::currentDate()) const;

private:
    QLocale m_locale;
};
