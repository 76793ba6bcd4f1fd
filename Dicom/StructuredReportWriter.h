#pragma once

#include "BoneAgeResult.h"
#include "DicomPatientStudy.h"
#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

// One examination's results as a DICOM Comprehensive SR of the patient,
// described as "Maturix Report": the method, the atlas standard matched,
// bone age, chronological age, SD score with the reference mean and SD,
// height, percentage of adult height reached and predicted adult height, as
// coded numbers with UCUM units. What was not assessed or not measured is
// left out. Numbers are the exact ones: a value that a decimal string of
// DICOM cannot hold exactly also carries its floating-point form.
class MATURIXDICOM_EXPORT StructuredReportWriter
{
public:
    static inline const QString description = QStringLiteral("Maturix Report");

    StructuredReportWriter(const QString &patientsName, const QString &patientID,
                           const QDateTime &created = QDateTime::currentDateTime());

    // An invalid date leaves the birth date out.
    void setPatientsBirthDate(const QDate &birthDate) { m_patientStudy.setPatientsBirthDate(birthDate); }
    // The shared sex code: 1 male, 2 female, anything else unspecified.
    void setPatientsSex(int sex) { m_patientStudy.setPatientsSex(sex); }
    // The chart's study: the report joins it. Without one, each report
    // starts a study of its own.
    void setStudy(const DicomStudy &study) { m_patientStudy.setStudy(study); }
    // Reports of one export share a series (in one known study); empty: a
    // new series for each report.
    void setSeriesInstanceUID(const QString &uid) { m_seriesInstanceUID = uid; }
    // The report's place in its series; 1 by default.
    void setInstanceNumber(int number) { m_instanceNumber = number; }

    // One examination's report as DICOM file bytes; empty with the reason
    // on failure. Files are written by whoever holds the destination's
    // rules, so the library writes none itself.
    QByteArray data(const BoneAgeResult &result, QString *error = nullptr) const;

private:
    DicomPatientStudy m_patientStudy;
    QDateTime m_created;
    QString m_seriesInstanceUID;
    int m_instanceNumber = 1;
};
