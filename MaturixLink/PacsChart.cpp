#include "PacsChart.h"

#include "DicomBytes.h"
#include "SecondaryCaptureWriter.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

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
    writer.setStudyDescription(description);
    const QByteArray written = writer.data(error);
    if (written.isEmpty())
        return {};

    // The writer serves the viewer, which knows the patient's sex from its
    // study; a PACS files the image under the patient, so it gets the sex too.
    const std::unique_ptr<DcmFileFormat> file = DicomBytes::read(written, error);
    if (!file)
        return {};
    const char *sex = m_sex == 1 ? "M" : m_sex == 2 ? "F" : "";
    if (file->getDataset()->putAndInsertString(DCM_PatientSex, sex).bad()) {
        if (error)
            *error = QStringLiteral("Cannot set the patient's sex");
        return {};
    }
    return DicomBytes::write(*file, error);
}
