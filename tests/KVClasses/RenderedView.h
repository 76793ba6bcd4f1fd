#pragma once

#include "View.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

// A view rendered into a white image, read back in the view's own y-up
// coordinates: pixel (x, y) is the unit square whose lower-left corner is the
// view point (x, y).
class RenderedView
{
public:
    explicit RenderedView(View &view, double scale = 1.0)
        : m_image(QSize(qRound(view.width() * scale), qRound(view.height() * scale)),
                  QImage::Format_ARGB32)
    {
        m_image.fill(Qt::white);
        QPainter painter(&m_image);
        view.renderInto(painter, QRectF(QPointF(0, 0), m_image.size()));
    }

    const QImage &image() const { return m_image; }

    QColor pixel(int x, int y) const
    {
        return m_image.pixelColor(x, m_image.height() - 1 - y);
    }
    bool isWhite(int x, int y) const { return pixel(x, y) == QColor(Qt::white); }
    bool isBlack(int x, int y) const { return pixel(x, y) == QColor(Qt::black); }
    bool isGray(int x, int y) const
    {
        const QColor c = pixel(x, y);
        return qAbs(c.red() - 128) <= 1 && c.red() == c.green() && c.green() == c.blue();
    }

    // Pixels darker than mid-way between white and the palette's gray, in
    // the y-up rectangle [x0, x1) x [y0, y1).
    int inkIn(int x0, int y0, int x1, int y1) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (inside(x, y) && qGray(pixel(x, y).rgb()) < 192)
                    ++count;
        return count;
    }

    // Smallest y-up rectangle holding the ink of the given region.
    QRect inkBounds(int x0, int y0, int x1, int y1) const
    {
        QRect box;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (inside(x, y) && qGray(pixel(x, y).rgb()) < 192)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

private:
    bool inside(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < m_image.width() && y < m_image.height();
    }

    QImage m_image;
};
