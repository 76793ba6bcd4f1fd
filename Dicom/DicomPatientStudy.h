#pragma once

#include "DicomStudy.h"
#include "MaturixDicomExport.h"

#include <QDate>
#include <QDateTime>
#include <QString>

class DcmItem;
class OFCondition;

// The patient and the study of a file we write, put the same way by every
// writer: text made valid for its value representation (DicomText), never
// refused; a known study joined, otherwise a study of its own dated at the
// file's creation.
class MATURIXDICOM_EXPORT DicomPatientStudy
{
public:
    // Type 2 values: written empty when never set.
    void setPatientsName(const QString &name) { m_patientsName = name; }
    void setPatientID(const QString &patientID) { m_patientID = patientID; }
    // An invalid date is written empty.
    void setPatientsBirthDate(const QDate &birthDate) { m_patientsBirthDate = birthDate; }
    // The shared sex code: 1 male, 2 female, anything else unknown.
    void setPatientsSex(int sex) { m_patientsSex = sex; }
    void setStudy(const DicomStudy &study) { m_study = study; }
    // Written only for a study of its own.
    void setStudyDescription(const QString &description) { m_studyDescription = description; }

    const DicomStudy &study() const { return m_study; }

    // Puts the patient's and the study's attributes into `dataset`, and the
    // Unicode character set when they or `moreText` (the file's other text)
    // need it. A study of its own gets a new UID at each call.
    OFCondition write(DcmItem &dataset, const QDateTime &created, const QString &moreText = {}) const;

private:
    QString m_patientsName;
    QString m_patientID;
    QDate m_patientsBirthDate;
    int m_patientsSex = 0;
    DicomStudy m_study;
    QString m_studyDescription;
};
