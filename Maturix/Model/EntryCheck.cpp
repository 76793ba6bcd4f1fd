#include "EntryCheck.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("EntryCheck", text);
}

// Typed text quoted in a reason: on one line and short.
QString quoted(const QString &text)
{
    constexpr qsizetype longest = 24;
    QString shown = text.simplified();
    if (shown.size() > longest)
        shown = shown.left(longest - 1) + u'…';
    return u'“' + shown + u'”';
}
} // namespace

EntryCheck::DateEntry EntryCheck::readDate(const QString &text,
                                           DateFormatter::TwoDigitYears twoDigitYears,
                                           const QLocale &locale, const QDate &today)
{
    if (text.trimmed().isEmpty())
        return {};
    const DateFormatter formatter(locale);
    if (std::optional<AbsoluteDate> date = formatter.dateFromString(text, twoDigitYears, today))
        return { date, {} };
    // The example shows the style expected, in the user's own locale.
    return { std::nullopt,
             tr("%1 is not a date like %2.")
                     .arg(quoted(text), formatter.shortDateString(AbsoluteDate::fromLocalDate(today))) };
}

EntryCheck::HeightEntry EntryCheck::readHeight(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    // Digits with one decimal separator, nothing else: no exponent, sign or
    // group separator that a conversion would read in some other way.
    const QString separator = QRegularExpression::escape(locale.decimalPoint());
    const QRegularExpression pattern(
            QStringLiteral("\\A[0-9]+(?:(?:[.,]|%1)[0-9]*)?\\z|\\A(?:[.,]|%1)[0-9]+\\z").arg(separator));
    if (!pattern.match(trimmed).hasMatch())
        return { 0.0, tr("%1 is not a height in centimetres.").arg(quoted(text)) };
    QString plain = trimmed;
    plain.replace(locale.decimalPoint(), QStringLiteral("."));
    plain.replace(u',', u'.');
    // Kept as shown: a tenth of a centimetre.
    const double height = std::round(plain.toDouble() * 10.0) / 10.0;
    if (const QString problem = heightProblem(height); !problem.isEmpty())
        return { 0.0, problem };
    return { height, {} };
}

QString EntryCheck::heightProblem(double height)
{
    if (height == 0.0 || (height >= minimumHeight && height <= maximumHeight))
        return {};
    return tr("%1 cm is outside %2 to %3 cm.")
            .arg(QLocale::system().toString(height, 'f', 1),
                 QLocale::system().toString(minimumHeight, 'f', 0),
                 QLocale::system().toString(maximumHeight, 'f', 0));
}

QString EntryCheck::birthDateWarning(const std::optional<AbsoluteDate> &birth, const QDate &today)
{
    if (birth && birth->toLocalDateTime().date() > today)
        return tr("The birth date is in the future.");
    return {};
}

QString EntryCheck::examDateWarning(const std::optional<AbsoluteDate> &birth,
                                    const std::optional<AbsoluteDate> &exam)
{
    if (birth && exam && exam->toLocalDateTime().date() < birth->toLocalDateTime().date())
        return tr("The examination is dated before the birth date.");
    return {};
}
