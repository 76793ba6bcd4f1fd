#pragma once

#include "MaturixDicomExport.h"

#include <QByteArray>
#include <QString>

#include <memory>

class DcmFileFormat;

// DICOM files held in memory, read and written with DCMTK.
namespace DicomBytes {
// Nothing with the reason when the bytes are not a DICOM file.
MATURIXDICOM_EXPORT std::unique_ptr<DcmFileFormat> read(const QByteArray &bytes, QString *error);
// The file as explicit VR little endian, with its meta header brought up to
// date and naming our implementation; empty with the reason on failure.
MATURIXDICOM_EXPORT QByteArray write(DcmFileFormat &file, QString *error);
} // namespace DicomBytes
