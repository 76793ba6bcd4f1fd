#pragma once

#include "MaturixDicomExport.h"

#include <QString>

// Text made into a valid DICOM value rather than refused: whatever a name or
// identifier holds, the image is still written, under the nearest valid value.
namespace DicomText {
// The value representations we write text in.
enum class VR { LO, SH, PN };

// The text as a value of `vr`: a backslash (the value separator) becomes
// "/", control characters go, leading and trailing spaces go, and the value
// is cut to the VR's length (LO 64, SH 16, PN 64 per component group), in
// bytes of UTF-8, never inside a character. A person name keeps at most
// three component groups of five components; further components join the
// last one.
MATURIXDICOM_EXPORT QString cleaned(const QString &text, VR vr);
// Whether the text needs a character set beyond ASCII.
MATURIXDICOM_EXPORT bool needsUnicode(const QString &text);
} // namespace DicomText
