#pragma once

#include "TRRecord.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One patient: identifier, name, birth date, sex and the examinations, which
// the record owns. Examinations are held by pointer so that the one on show
// keeps its identity when the list is re-sorted.
class PatientRecord
{
public:
    static constexpr int classVersion = 3;
    using Examinations = std::vector<std::unique_ptr<TRRecord>>;

    // A new patient: empty strings, no birth date, sex unspecified, one new
    // examination.
    PatientRecord();
    // The all-zero patient a decoder starts from: no examinations at all.
    static std::unique_ptr<PatientRecord> blank();

    const QString &referenceString() const { return m_referenceString; }
    void setReferenceString(const QString &value) { m_referenceString = value; }
    const QString &nameString() const { return m_nameString; }
    void setNameString(const QString &value) { m_nameString = value; }
    const std::optional<AbsoluteDate> &birthDate() const { return m_birthDate; }
    void setBirthDate(const std::optional<AbsoluteDate> &date) { m_birthDate = date; }
    qint64 gender() const { return m_gender; }
    void setGender(qint64 gender) { m_gender = gender; }

    // The list itself; callers may reorder it in place.
    Examinations &trRecordsArray() { return m_trRecordsArray; }
    const Examinations &trRecordsArray() const { return m_trRecordsArray; }
    void setTRRecordsArray(Examinations examinations) { m_trRecordsArray = std::move(examinations); }
    // The examination at the index, or null past the end.
    TRRecord *examination(quint64 index) const;

    void addTRRecord();
    // Out-of-range indexes are ignored.
    void deleteTRRecord(quint64 index);
    // Ascending by date with TRRecord::compare; stable, so undated
    // examinations keep their order at the end.
    void sortExaminationsByDate();

private:
    struct BlankTag
    {
    };
    explicit PatientRecord(BlankTag);

    QString m_referenceString;
    QString m_nameString;
    std::optional<AbsoluteDate> m_birthDate;
    qint64 m_gender = 0;
    Examinations m_trRecordsArray;
};
