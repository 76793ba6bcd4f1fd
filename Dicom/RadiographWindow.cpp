#include "RadiographWindow.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

using Table = std::array<uchar, 65536>;

// Smaller images are drawn on the calling thread alone.
constexpr qint64 minimumPixelsForBands = 1 << 20;

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
    // Taken once: scanLine() on the result would detach it from every thread.
    const uchar *in = values.constBits();
    const qsizetype inStride = values.bytesPerLine();
    uchar *out = grey.bits();
    const qsizetype outStride = grey.bytesPerLine();
    const auto drawRows = [&](const std::pair<int, int> &rows) {
        for (int y = rows.first; y < rows.second; ++y) {
            const auto *from = reinterpret_cast<const quint16 *>(in + y * inStride);
            uchar *to = out + y * outStride;
            for (int x = 0; x < columns; ++x)
                to[x] = table[from[x]];
        }
    };
    // A large radiograph in bands, one per processor, each a plain pass
    // through the table; the bands write disjoint rows.
    const int bandCount = qint64(columns) * values.height() < minimumPixelsForBands
            ? 1
            : std::max(1, QThread::idealThreadCount());
    std::vector<std::pair<int, int>> bands;
    const int height = values.height();
    for (int band = 0; band < bandCount; ++band)
        bands.emplace_back(height * band / bandCount, height * (band + 1) / bandCount);
    if (bands.size() == 1)
        drawRows(bands.front());
    else
        QtConcurrent::blockingMap(bands, drawRows);
    return grey;
}
