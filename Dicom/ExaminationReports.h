#pragma once

#include "BoneAgeResult.h"
#include "DicomStudy.h"
#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// The structured reports of a patient's examinations as they go beside the
// chart: one report per examination, all in one new series of their own, in
// the chart's study and under the chart's patient.
class MATURIXDICOM_EXPORT ExaminationReports
{
public:
    ExaminationReports(const QString &patientsName, const QString &patientID);

    // An invalid date leaves the birth date out.
    void setPatientsBirthDate(const QDate &birthDate) { m_birthDate = birthDate; }
    // The shared sex code: 1 male, 2 female, anything else unspecified.
    void setPatientsSex(int sex) { m_sex = sex; }
    // The chart's study; a study of their own when unknown.
    void setStudy(const DicomStudy &study) { m_study = study; }

    // The DICOM files' bytes, in the order of the results. None with the
    // reason when one of them cannot be made: the series goes whole or not
    // at all.
    QList<QByteArray> data(const QList<BoneAgeResult> &results, QString *error = nullptr) const;

private:
    QString m_patientsName;
    QString m_patientID;
    QDate m_birthDate;
    int m_sex = 0;
    DicomStudy m_study;
};
