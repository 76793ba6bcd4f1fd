#include "DicomPatientStudy.h"

#include "DicomText.h"
#include "DicomUid.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>

OFCondition DicomPatientStudy::write(DcmItem &dataset, const QDateTime &created,
                                     const QString &moreText) const
{
    const QString name = DicomText::cleaned(m_patientsName, DicomText::VR::PN);
    const QString patientID = DicomText::cleaned(m_patientID, DicomText::VR::LO);
    // A study begun for several files carries the description they share.
    const QString description = DicomText::cleaned(
            m_study.studyDescription.isEmpty() ? m_studyDescription : m_study.studyDescription,
            DicomText::VR::LO);
    const QString accession = DicomText::cleaned(m_study.accessionNumber, DicomText::VR::SH);
    const QString studyID = DicomText::cleaned(m_study.studyID, DicomText::VR::SH);
    const bool known = m_study.isKnown();
    const QDateTime studyDateTime = known && m_study.studyDateTime.isValid() ? m_study.studyDateTime : created;

    OFCondition status = EC_Normal;
    auto put = [&dataset, &status](const DcmTagKey &key, const QByteArray &value) {
        if (status.good())
            status = dataset.putAndInsertString(key, value.constData());
    };
    auto putText = [&put](const DcmTagKey &key, const QString &value) { put(key, value.toUtf8()); };

    if (DicomText::needsUnicode(name + patientID + description + accession + studyID + moreText))
        put(DCM_SpecificCharacterSet, "ISO_IR 192");
    putText(DCM_PatientName, name);
    putText(DCM_PatientID, patientID);
    put(DCM_PatientBirthDate, m_patientsBirthDate.isValid()
                                  ? m_patientsBirthDate.toString(QStringLiteral("yyyyMMdd")).toLatin1()
                                  : QByteArray());
    put(DCM_PatientSex, m_patientsSex == 1 ? "M" : m_patientsSex == 2 ? "F" : "");

    put(DCM_StudyInstanceUID, known ? m_study.studyInstanceUID.toLatin1() : DicomUid::generate());
    put(DCM_StudyDate, studyDateTime.date().toString(QStringLiteral("yyyyMMdd")).toLatin1());
    put(DCM_StudyTime, studyDateTime.time().toString(QStringLiteral("HHmmss")).toLatin1());
    put(DCM_ReferringPhysicianName, "");
    putText(DCM_StudyID, studyID.isEmpty() ? QStringLiteral("1") : studyID);
    putText(DCM_AccessionNumber, accession);
    if ((!known || !m_study.studyDescription.isEmpty()) && !description.isEmpty())
        putText(DCM_StudyDescription, description);
    return status;
}
