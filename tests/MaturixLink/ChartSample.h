#pragma once

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

// A chart-like picture: white with one band of a known colour.
namespace ChartSample {
inline const QColor bandColour(40, 120, 210);
inline const QRect band(100, 150, 400, 120);
inline const QPoint inBand(300, 210);

inline QImage chart(QImage::Format format, const QSize &size = QSize(600, 450))
{
    QImage image(size, format);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(band, bandColour);
    return image;
}

inline QByteArray jpeg(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 100);
    return data;
}

// JPEG keeps colours to within a few units.
inline bool isNear(const QColor &actual, const QColor &expected, int tolerance)
{
    return qAbs(actual.red() - expected.red()) <= tolerance
        && qAbs(actual.green() - expected.green()) <= tolerance
        && qAbs(actual.blue() - expected.blue()) <= tolerance;
}
} // namespace ChartSample
