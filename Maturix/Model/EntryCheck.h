#pragma once

#include "AbsoluteDate.h"
#include "DateFormatter.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

// The rules for the dates and heights that a user types or a command line
// gives: what reads as a value, what is plausible, and which combinations
// deserve a warning. A rejected entry comes with a short reason; the caller
// keeps the value it had.
class EntryCheck
{
public:
    // Heights outside this range (cm) are typing errors, not children.
    static constexpr double minimumHeight = 30.0;
    static constexpr double maximumHeight = 250.0;

    struct DateEntry {
        std::optional<AbsoluteDate> date; // none for empty text
        QString problem; // empty when the text was taken
    };
    struct HeightEntry {
        double height = 0.0; // 0.0 for empty text: not measured
        QString problem;
    };

    // A date in the locale's short style (four-digit years and yyyy-MM-dd
    // too); empty text clears the date.
    static DateEntry readDate(const QString &text, DateFormatter::TwoDigitYears twoDigitYears,
                              const QLocale &locale = QLocale::system(),
                              const QDate &today = QDate::currentDate());
    // A height in centimetres with the locale's decimal separator, a point or
    // a comma, kept to the tenth of a centimetre that is shown. Empty text
    // and 0 mean not measured.
    static HeightEntry readHeight(const QString &text, const QLocale &locale = QLocale::system());
    // Why a height is implausible; empty for a plausible one or 0.0.
    static QString heightProblem(double height);

    // Warnings about dates that were taken; empty when there is nothing to say.
    static QString birthDateWarning(const std::optional<AbsoluteDate> &birth,
                                    const QDate &today = QDate::currentDate());
    static QString examDateWarning(const std::optional<AbsoluteDate> &birth,
                                   const std::optional<AbsoluteDate> &exam);
};
