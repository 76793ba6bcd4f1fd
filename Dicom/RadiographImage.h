#pragma once

#include "DicomStudy.h"
#include "MaturixDicomExport.h"
#include "RadiographWindow.h"

#include <QDate>
#include <QImage>
#include <QString>

#include <optional>

// A hand radiograph read from a DICOM file: who and which study it belongs
// to, and its pixels decoded whatever the transfer syntax. The pixels are
// kept as 16-bit values so that the window can be moved without decoding
// again; the first view is drawn as the file asks (its VOI LUT or window).
class MATURIXDICOM_EXPORT RadiographImage
{
public:
    struct Patient
    {
        QString id;        // exactly as the file gives it
        QString name;      // DICOM person name, components joined by "^"
        QDate birthDate;   // invalid when absent or unreadable
        QString sex;       // "M", "F", "O" or empty
    };

    // Files larger than this are refused before they are read.
    static constexpr qint64 maximumFileSize = qint64(1) << 30;
    // Larger images (all frames together) are refused before they are
    // decoded: a hand radiograph has some 20 million pixels.
    static constexpr qint64 maximumPixels = qint64(1) << 26;

    // Nothing with a reason a user can read when the file is not DICOM, is
    // not an image, or cannot be decoded.
    static std::optional<RadiographImage> read(const QString &path, QString *error);

    const Patient &patient() const { return m_patient; }
    const DicomStudy &study() const { return m_study; }
    // Study Date, else Acquisition Date, else Content Date; invalid if none.
    QDate examinationDate() const { return m_examinationDate; }

    // Format_Grayscale16; values are the file's values after the modality
    // transform, shifted so that the lowest possible value is 0 (where the
    // possible range is wider than 16 bits: the lowest value held, and the
    // range held scaled into 16 bits when wider still).
    const QImage &values() const { return m_values; }
    // The window of the first view, in the units of values().
    RadiographWindow initialWindow() const { return m_initialWindow; }
    // A window given in the file's units (those of its Window Center and
    // Width: values after the modality transform), in the units of values(),
    // inverted as the first view is.
    RadiographWindow window(double center, double width) const;
    // Format_Grayscale8: the first view as the file asks, MONOCHROME1 shown
    // inverted.
    const QImage &firstView() const { return m_firstView; }

private:
    Patient m_patient;
    DicomStudy m_study;
    QDate m_examinationDate;
    QImage m_values;
    RadiographWindow m_initialWindow;
    // values() = (file value - m_offset) * m_scale; the scale is 1 unless
    // the file's range is wider than 16 bits.
    double m_offset = 0.0;
    double m_scale = 1.0;
    QImage m_firstView;
};
