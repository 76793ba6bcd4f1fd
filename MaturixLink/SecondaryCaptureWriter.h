#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>

class DCMObject;

// A picture as an 8-bit secondary-capture DICOM image of a patient: RGB
// (samples in R, G, B order whatever the picture's layout in memory), or
// MONOCHROME2 for a greyscale picture. Patient values that are never set are
// left out; the capture date and time serve as study and series date and
// time. Written as an explicit VR little endian DICOM file.
class SecondaryCaptureWriter
{
public:
    explicit SecondaryCaptureWriter(
        const QImage &image, const QDateTime &captured = QDateTime::currentDateTime());

    void setPatientsName(const QString &name) { m_patientsName = name; }
    void setPatientID(const QString &patientID) { m_patientID = patientID; }
    void setPatientsBirthDate(const QDate &birthDate) { m_patientsBirthDate = birthDate; }
    // Also the series description.
    void setStudyDescription(const QString &description) { m_studyDescription = description; }

    // The DICOM file's bytes; empty with an error text on failure: a picture
    // that is empty or wider or taller than 65535 pixels, or a text value
    // that DICOM cannot hold.
    QByteArray data(QString *error = nullptr) const;
    // Atomically: a reader never sees a partial file.
    bool writeToFile(const QString &path, QString *error = nullptr) const;

private:
    std::unique_ptr<DCMObject> dicomObject(QString *error) const;

    QImage m_image;
    QDateTime m_captured;
    std::optional<QString> m_patientsName;
    std::optional<QString> m_patientID;
    std::optional<QDate> m_patientsBirthDate;
    std::optional<QString> m_studyDescription;
};
