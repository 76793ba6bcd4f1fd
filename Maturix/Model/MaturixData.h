#pragma once

#include "MaturixDatum.h"

#include <QtGlobal>

#include <memory>
#include <vector>

// The Greulich and Pyle reference table for boys and girls: mean bone age and
// its standard deviation by chronological age. Stored in months, answered in
// years.
class MaturixData
{
public:
    MaturixData();

    const std::vector<std::unique_ptr<MaturixDatum>> &maleTRDataArray() const
    {
        return m_maleTRDataArray;
    }
    const std::vector<std::unique_ptr<MaturixDatum>> &femaleTRDataArray() const
    {
        return m_femaleTRDataArray;
    }

    // Every gender but male walks the female rows; mean and SD answer 0.0
    // for a gender that is neither male nor female. Callers keep the index
    // below numberOfRecordsForGender(); any other index answers 0.0.
    quint64 numberOfRecordsForGender(qint64 gender) const;
    double chronologicalAgeForIndex(quint64 index, qint64 gender) const;
    double meanMaturixForIndex(quint64 index, qint64 gender) const;
    double standardDeviationForIndex(quint64 index, qint64 gender) const;

private:
    const MaturixDatum *row(quint64 index, qint64 gender) const;

    std::vector<std::unique_ptr<MaturixDatum>> m_maleTRDataArray;
    std::vector<std::unique_ptr<MaturixDatum>> m_femaleTRDataArray;
};
