#pragma once

#include "MaturixDicomExport.h"

#include <QImage>

// A window (centre and width, in the units of RadiographImage::values()) and
// whether to invert: what maps the 16-bit values to 8-bit grey on screen, in
// `maturix-cli image` and in tests alike.
struct MATURIXDICOM_EXPORT RadiographWindow
{
    double center = 32768.0;
    double width = 65536.0;
    bool inverted = false;

    // Format_Grayscale8 of the same size; linear window as DICOM defines it.
    // Fast enough to run on every mouse move of a window/level drag.
    QImage render(const QImage &values) const;
};
