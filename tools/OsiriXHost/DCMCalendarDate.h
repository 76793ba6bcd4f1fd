#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// A moment as a DICOM date (DA, "YYYYMMDD") or time (TM, "HHMMSS"), in
// local time.
class DCMCalendarDate
{
public:
    enum class Kind { Date, Time };

    static DCMCalendarDate dicomDateWithDate(const QDateTime &date);
    static DCMCalendarDate dicomTimeWithDate(const QDateTime &date);

    DCMCalendarDate() = default;

    Kind kind() const { return m_kind; }
    QDateTime dateTime() const { return m_dateTime; }
    bool isValid() const { return m_dateTime.isValid(); }
    // The DICOM text of the value; empty when invalid.
    QString dateString() const;

private:
    DCMCalendarDate(const QDateTime &dateTime, Kind kind)
        : m_dateTime(dateTime)
        , m_kind(kind)
    {
    }

    QDateTime m_dateTime;
    Kind m_kind = Kind::Date;
};

Q_DECLARE_METATYPE(DCMCalendarDate)
