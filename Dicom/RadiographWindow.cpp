#include "RadiographWindow.h"

#include <algorithm>
#include <array>
#include <cmath>

QImage RadiographWindow::render(const QImage &values) const
{
    const QImage source = values.format() == QImage::Format_Grayscale16
            ? values
            : values.convertToFormat(QImage::Format_Grayscale16);
    // Linear window as DICOM defines it (C.11.2.1.2), once per value rather
    // than once per pixel.
    std::array<uchar, 65536> table;
    const double c = center - 0.5;
    const double w = std::max(width, 1.0) - 1.0;
    for (int x = 0; x < 65536; ++x) {
        double y;
        if (x <= c - w / 2.0)
            y = 0.0;
        else if (x > c + w / 2.0)
            y = 255.0;
        else
            y = ((x - c) / std::max(w, 1e-9) + 0.5) * 255.0;
        const uchar grey = uchar(std::lround(std::clamp(y, 0.0, 255.0)));
        table[x] = inverted ? uchar(255 - grey) : grey;
    }
    QImage grey(source.size(), QImage::Format_Grayscale8);
    for (int row = 0; row < source.height(); ++row) {
        const auto *in = reinterpret_cast<const quint16 *>(source.constScanLine(row));
        uchar *out = grey.scanLine(row);
        for (int column = 0; column < source.width(); ++column)
            out[column] = table[in[column]];
    }
    return grey;
}
