#pragma once

#include "DicomPatientStudy.h"
#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>

class DcmFileFormat;

// A picture as an 8-bit secondary-capture DICOM image of a patient: RGB
// (samples in R, G, B order whatever the picture's layout in memory), or
// MONOCHROME2 for a greyscale picture, written as an explicit VR little
// endian file. Text is made valid for DICOM (DicomText), never refused.
//
// With a known study the image joins that study as a new series; otherwise
// it starts a study of its own, dated at the capture. The series is dated at
// the capture either way.
class MATURIXDICOM_EXPORT SecondaryCaptureWriter
{
public:
    explicit SecondaryCaptureWriter(
        const QImage &image, const QDateTime &captured = QDateTime::currentDateTime());
    ~SecondaryCaptureWriter();

    // Type 2 values: written empty when never set.
    void setPatientsName(const QString &name) { m_patientStudy.setPatientsName(name); }
    void setPatientID(const QString &patientID) { m_patientStudy.setPatientID(patientID); }
    void setPatientsBirthDate(const QDate &birthDate) { m_patientStudy.setPatientsBirthDate(birthDate); }
    // The shared sex code: 1 male, 2 female, anything else unknown.
    void setPatientsSex(int sex) { m_patientStudy.setPatientsSex(sex); }
    // The series description, and the study's when the image starts a study.
    void setStudyDescription(const QString &description)
    {
        m_description = description;
        m_patientStudy.setStudyDescription(description);
    }
    void setStudy(const DicomStudy &study) { m_patientStudy.setStudy(study); }
    // By default 1 in a study of its own; in a known study, a number from
    // the capture time (month, day, hour, minute), so that charts added to
    // a study in turn keep their order.
    void setSeriesNumber(int number) { m_seriesNumber = number; }
    void setInstanceNumber(int number) { m_instanceNumber = number; }

    // The DICOM file's bytes; empty with an error text on failure (a
    // picture that is empty or wider or taller than 65535 pixels).
    // Files are written by whoever holds the destination's rules (links,
    // permissions), so the library writes none itself.
    QByteArray data(QString *error = nullptr) const;

private:
    std::unique_ptr<DcmFileFormat> dicomFile(QString *error) const;

    QImage m_image;
    QDateTime m_captured;
    DicomPatientStudy m_patientStudy;
    QString m_description;
    std::optional<int> m_seriesNumber;
    int m_instanceNumber = 1;
};
