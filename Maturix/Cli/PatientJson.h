#pragma once

#include "PatientFile.h"

#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>

// A patient as one JSON object: the stored fields, the class versions and,
// for every examination, each derived value of the assessment.
// Dates are ISO-8601 in UTC ("2010-01-15T00:00:00Z"), with milliseconds only
// when the time, rounded to the millisecond, has a fraction.
class PatientJson
{
public:
    // Null with the reason when a date lies outside the calendar years
    // 1 to 9999.
    static std::optional<QJsonObject> toJson(const PatientRecord &record,
                                             const PatientFile::Versions &versions, QString *error);
    // The record the object describes; derived values and versions are
    // ignored. Null with the reason when a field is missing its type.
    static std::unique_ptr<PatientRecord> fromJson(const QJsonObject &object, QString *error);
    // The object as one line of compact JSON with its line end. DEL, the C1
    // controls and the line and paragraph separators, which JSON allows raw
    // in strings, are written as \u escapes, so that the text is safe to
    // print on a terminal.
    static QByteArray text(const QJsonObject &object);

    // Empty when the date has no calendar form in years 1 to 9999.
    static QString dateString(const AbsoluteDate &date);
    // The double nearest the exact seconds since 2001-01-01 00:00:00 UTC;
    // accepts up to nine fractional digits.
    static std::optional<AbsoluteDate> parseDate(const QString &text);
};
