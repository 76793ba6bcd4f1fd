#include "RadiographWindow.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Table = std::array<uchar, 65536>;

// DICOM's linear window: values up to c - 0.5 - (w - 1) / 2 are black, those
// above c - 0.5 + (w - 1) / 2 white, a straight line between.
void fillTable(Table &table, double center, double width, bool inverted)
{
    width = std::max(width, 1.0);
    const double lower = center - 0.5 - (width - 1.0) / 2.0;
    const double upper = center - 0.5 + (width - 1.0) / 2.0;
    for (int value = 0; value < 65536; ++value) {
        double grey;
        if (value <= lower)
            grey = 0.0;
        else if (value > upper)
            grey = 255.0;
        else
            grey = ((value - (center - 0.5)) / (width - 1.0) + 0.5) * 255.0;
        const int level = std::clamp(int(std::lround(grey)), 0, 255);
        table[value] = uchar(inverted ? 255 - level : level);
    }
}

} // namespace

QImage RadiographWindow::render(const QImage &values) const
{
    if (values.isNull() || values.format() != QImage::Format_Grayscale16)
        return QImage();
    QImage grey(values.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        return grey;
    Table table;
    fillTable(table, center, width, inverted);
    const int columns = values.width();
    for (int y = 0; y < values.height(); ++y) {
        const auto *in = reinterpret_cast<const quint16 *>(values.constScanLine(y));
        uchar *out = grey.scanLine(y);
        for (int x = 0; x < columns; ++x)
            out[x] = table[in[x]];
    }
    return grey;
}
