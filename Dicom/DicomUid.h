#pragma once

#include "MaturixDicomExport.h"

#include <QByteArray>

// Unique identifiers of what we write, and the name of our implementation
// in every file's meta header.
namespace DicomUid {
// A new UID: "2.25." and a fresh random UUID as one decimal number, a root
// that needs no registration and is ours alone.
MATURIXDICOM_EXPORT QByteArray generate();
// Fixed for Maturix; the version name changes with each release.
MATURIXDICOM_EXPORT QByteArray implementationClassUID();
MATURIXDICOM_EXPORT QByteArray implementationVersionName();
} // namespace DicomUid
