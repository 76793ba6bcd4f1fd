#include "PatientChartSource.h"

PatientChartSource::PatientChartSource(const PatientRecord *record)
{
    m_assessment.setPatientRecord(record);
}

quint64 PatientChartSource::lastExam() const
{
    const PatientRecord *record = m_assessment.patientRecord();
    const std::size_t count = record ? record->trRecordsArray().size() : 0;
    return count > 0 ? count - 1 : 0;
}
