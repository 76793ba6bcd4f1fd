#include "PacsChart.h"

#include "SecondaryCaptureWriter.h"

PacsChart::PacsChart(const QImage &chart, const QString &patientsName, const QString &patientID)
    : m_chart(chart)
    , m_patientsName(patientsName)
    , m_patientID(patientID)
{
}

QByteArray PacsChart::data(QString *error) const
{
    SecondaryCaptureWriter writer(m_chart);
    writer.setPatientsName(m_patientsName);
    writer.setPatientID(m_patientID);
    if (m_birthDate.isValid())
        writer.setPatientsBirthDate(m_birthDate);
    writer.setPatientsSex(m_sex);
    writer.setStudyDescription(description);
    writer.setStudy(m_study);
    return writer.data(error);
}
