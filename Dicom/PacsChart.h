#pragma once

#include "DicomStudy.h"
#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QString>

// A patient's chart as the secondary-capture image that goes to a PACS,
// described as "Maturix Chart", with the patient's name, identifier, birth
// date and sex; filed in the examination's study when it came from one.
class MATURIXDICOM_EXPORT PacsChart
{
public:
    static inline const QString description = QStringLiteral("Maturix Chart");

    PacsChart(const QImage &chart, const QString &patientsName, const QString &patientID);

    // An invalid date leaves the birth date out.
    void setPatientsBirthDate(const QDate &birthDate) { m_birthDate = birthDate; }
    // The shared sex code: 1 male, 2 female, anything else unspecified.
    void setPatientsSex(int sex) { m_sex = sex; }
    void setStudy(const DicomStudy &study) { m_study = study; }

    // The DICOM file's bytes; empty with the reason on failure.
    QByteArray data(QString *error = nullptr) const;

private:
    QImage m_chart;
    QString m_patientsName;
    QString m_patientID;
    QDate m_birthDate;
    int m_sex = 0;
    DicomStudy m_study;
};
