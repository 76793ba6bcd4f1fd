#include "PatientRecord.h"

#include <algorithm>

PatientRecord::PatientRecord()
{
    addTRRecord();
}

PatientRecord::PatientRecord(BlankTag) { }

std::unique_ptr<PatientRecord> PatientRecord::blank()
{
    return std::unique_ptr<PatientRecord>(new PatientRecord(BlankTag {}));
}

TRRecord *PatientRecord::examination(quint64 index) const
{
    return index < m_trRecordsArray.size() ? m_trRecordsArray[index].get() : nullptr;
}

void PatientRecord::addTRRecord()
{
    m_trRecordsArray.push_back(std::make_unique<TRRecord>());
}

void PatientRecord::deleteTRRecord(quint64 index)
{
    if (index < m_trRecordsArray.size())
        m_trRecordsArray.erase(m_trRecordsArray.begin() + qint64(index));
}

void PatientRecord::sortExaminationsByDate()
{
    std::stable_sort(m_trRecordsArray.begin(), m_trRecordsArray.end(),
                     [](const auto &a, const auto &b) { return a->compare(*b) < 0; });
}
