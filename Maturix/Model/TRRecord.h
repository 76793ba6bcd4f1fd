#pragma once

#include "AbsoluteDate.h"

#include <QVariantMap>

#include <optional>

// One examination: the date, the matched standard and the measured height.
class TRRecord
{
public:
    static constexpr int classVersion = 1;

    // A new examination: dated now, not assessed, height not measured.
    TRRecord();
    // The all-zero examination a decoder starts from: no date at all.
    static TRRecord blank();

    const std::optional<AbsoluteDate> &examDate() const { return m_examDate; }
    void setExamDate(const std::optional<AbsoluteDate> &date) { m_examDate = date; }
    qint64 maturixIndex() const { return m_maturixIndex; }
    void setMaturixIndex(qint64 index) { m_maturixIndex = index; }
    double height() const { return m_height; }
    void setHeight(double height) { m_height = height; }
    // The study the examination came from, as the viewer named it; kept for
    // this session only, never written to the patient file.
    const QVariantMap &sourceStudy() const { return m_sourceStudy; }
    void setSourceStudy(const QVariantMap &study) { m_sourceStudy = study; }

    // Ascending by exam date (-1, 0, 1); an examination without a date
    // comes after every dated one.
    int compare(const TRRecord &other) const;

private:
    struct BlankTag
    {
    };
    explicit TRRecord(BlankTag);

    std::optional<AbsoluteDate> m_examDate;
    qint64 m_maturixIndex = 0;
    double m_height = 0.0;
    QVariantMap m_sourceStudy;
};
