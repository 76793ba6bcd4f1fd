#include "KVPrimitiveGraphView.h"

#include "CFormat.h"
#include "GraphicsContext.h"
#include "SetColor.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// More ticks than this cannot be told apart on any view; drawing them would
// only stall the main thread.
constexpr double maximumTickCount = 10000.0;

// Beyond this many digits a double has nothing more to show.
constexpr qint64 maximumDecimalPlaces = 17;

constexpr double tickLength = 5.0;
constexpr double labelGap = 2.0;
constexpr double markerHalfSize = 5.0;

// offset / span, with an empty span mapping to the start.
double fraction(double offset, double span)
{
    return span == 0.0 ? 0.0 : offset / span;
}

QRectF markerRect(const QPointF &p)
{
    return QRectF(p.x() - markerHalfSize, p.y() - markerHalfSize, 2.0 * markerHalfSize,
                  2.0 * markerHalfSize);
}

} // namespace

KVPrimitiveGraphView::KVPrimitiveGraphView(QWidget *parent)
    : View(parent)
{
}

QPointF KVPrimitiveGraphView::pointForX(double x, double y) const
{
    return {fraction(x - m_minX, m_maxX - m_minX) * m_graphRect.width() + m_graphRect.x() + 0.5,
            fraction(y - m_minY, m_maxY - m_minY) * m_graphRect.height() + m_graphRect.y() + 0.5};
}

QPointF KVPrimitiveGraphView::coordinateForPoint(const QPointF &point) const
{
    return {m_minX
                + fraction(point.x() - 0.5 - m_graphRect.x(), m_graphRect.width())
                    * (m_maxX - m_minX),
            m_minY
                + fraction(point.y() - 0.5 - m_graphRect.y(), m_graphRect.height())
                    * (m_maxY - m_minY)};
}

void KVPrimitiveGraphView::setGraphRect(const QRectF &bounds)
{
    m_graphRect = QRectF(bounds.x() + 50.0, bounds.y() + 40.0, bounds.width() - 60.0,
                         bounds.height() - 50.0);
}

void KVPrimitiveGraphView::drawRect(const QRectF &)
{
    GraphicsContext::saveGraphicsState();
    setGraphRect(bounds());
    drawXAxis();
    drawYAxis();
    drawReferenceTitle();
    drawGraph();
    // Also drops the clip that drawGraph set.
    GraphicsContext::restoreGraphicsState();
}

void KVPrimitiveGraphView::drawGraph()
{
    QPainter *painter = GraphicsContext::currentPainter();
    if (!painter)
        return;
    painter->setClipRect(QRectF(m_graphRect.x() - 10.0, m_graphRect.y() - 10.0,
                                m_graphRect.width() + 10.0, m_graphRect.height() + 20.0),
                         Qt::IntersectClip);
}

void KVPrimitiveGraphView::drawXAxis()
{
    GraphicsContext::strokeLine(pointForX(m_minX, m_minY), pointForX(m_maxX, m_minY));
    drawMinorXTickMarks();
    drawMajorXTickMarks();
    drawXTitle();
}

void KVPrimitiveGraphView::drawYAxis()
{
    GraphicsContext::strokeLine(pointForX(m_minX, m_minY), pointForX(m_minX, m_maxY));
    drawMinorYTickMarks();
    drawMajorYTickMarks();
    drawYTitle();
}

void KVPrimitiveGraphView::drawXTitle()
{
    const QFont font = GraphicsContext::labelFont(12);
    const QSizeF size = GraphicsContext::sizeOfText(m_xTitle, font);
    // Left set on purpose: the y axis that follows is stroked in it.
    SetColor::setColorGray();
    const QRectF view = bounds();
    GraphicsContext::drawText(m_xTitle, QPointF(view.width() - size.width(), view.y()), font);
}

void KVPrimitiveGraphView::drawYTitle()
{
    QPainter *painter = GraphicsContext::currentPainter();
    if (!painter)
        return;
    const QFont font = GraphicsContext::labelFont(12);
    const QSizeF size = GraphicsContext::sizeOfText(m_yTitle, font);
    painter->save();
    painter->translate(size.height(), bounds().height() - (size.width() + labelGap));
    painter->rotate(90.0); // anticlockwise in y-up coordinates
    GraphicsContext::drawText(m_yTitle, QPointF(0.0, 0.0), font);
    painter->restore();
}

void KVPrimitiveGraphView::drawReferenceTitle()
{
    GraphicsContext::drawText(m_referenceTitle, QPointF(0.0, 0.0), GraphicsContext::labelFont(10));
}

void KVPrimitiveGraphView::drawMajorXTickMarks()
{
    const QFont font = GraphicsContext::labelFont(10);
    forEachTick(m_minX, m_maxX, m_majorXInterval, true, [&](double x) {
        const QPointF p = pointForX(x, m_minY);
        GraphicsContext::strokeLine(p, QPointF(p.x(), p.y() - tickLength));
        const QString label = tickLabel(x, m_majorXIntervalDecimalPlaces);
        const QSizeF size = GraphicsContext::sizeOfText(label, font);
        GraphicsContext::drawText(
            label,
            QPointF(p.x() - size.width() / 2.0, p.y() - tickLength - (size.height() + labelGap)),
            font);
    });
}

void KVPrimitiveGraphView::drawMinorXTickMarks()
{
    drawMinorTicks(m_minX, m_maxX, m_minorXInterval, [&](double x) {
        const QPointF p = pointForX(x, m_minY);
        GraphicsContext::strokeLine(p, QPointF(p.x(), p.y() - tickLength));
    });
}

void KVPrimitiveGraphView::drawMajorYTickMarks()
{
    const QFont font = GraphicsContext::labelFont(10);
    forEachTick(m_minY, m_maxY, m_majorYInterval, true, [&](double y) {
        const QPointF p = pointForX(m_minX, y);
        GraphicsContext::strokeLine(p, QPointF(p.x() - tickLength, p.y()));
        const QString label = tickLabel(y, m_majorYIntervalDecimalPlaces);
        const QSizeF size = GraphicsContext::sizeOfText(label, font);
        GraphicsContext::drawText(
            label,
            QPointF(p.x() - tickLength - (size.width() + labelGap), p.y() - size.height() / 2.0),
            font);
    });
}

void KVPrimitiveGraphView::drawMinorYTickMarks()
{
    drawMinorTicks(m_minY, m_maxY, m_minorYInterval, [&](double y) {
        const QPointF p = pointForX(m_minX, y);
        GraphicsContext::strokeLine(p, QPointF(p.x() - tickLength, p.y()));
    });
}

void KVPrimitiveGraphView::drawMinorTicks(double from, double to, double interval,
                                          const std::function<void(double)> &tick)
{
    // No minor ticks (an interval of 0, or one the loop cannot use) leaves
    // the current colour alone.
    if (!(interval > 0.0))
        return;
    SetColor::setColorGray();
    forEachTick(from, to, interval, false, tick);
    SetColor::setColorBlack();
}

void KVPrimitiveGraphView::forEachTick(double from, double to, double interval, bool floorValue,
                                       const std::function<void(double)> &tick)
{
    if (!(interval > 0.0) || !std::isfinite(interval) || !std::isfinite(from)
        || !std::isfinite(to) || (to - from) / interval > maximumTickCount)
        return;
    double value = from;
    while ((floorValue ? std::floor(value) : value) <= to) {
        tick(value);
        const double next = value + interval;
        if (next == value) // an interval below the value's precision
            return;
        value = next;
    }
}

void KVPrimitiveGraphView::plotCrossAtPoint(const QPointF &p)
{
    QPainterPath path;
    path.moveTo(p.x() - markerHalfSize, p.y());
    path.lineTo(p.x() + markerHalfSize, p.y());
    path.moveTo(p.x(), p.y() - markerHalfSize);
    path.lineTo(p.x(), p.y() + markerHalfSize);
    GraphicsContext::strokePath(path);
}

void KVPrimitiveGraphView::plotXAtPoint(const QPointF &p)
{
    QPainterPath path;
    path.moveTo(p.x() - markerHalfSize, p.y() - markerHalfSize);
    path.lineTo(p.x() + markerHalfSize, p.y() + markerHalfSize);
    path.moveTo(p.x() + markerHalfSize, p.y() - markerHalfSize);
    path.lineTo(p.x() - markerHalfSize, p.y() + markerHalfSize);
    GraphicsContext::strokePath(path);
}

void KVPrimitiveGraphView::plotTriangleAtPoint(const QPointF &p)
{
    QPainterPath path;
    path.moveTo(p.x() - markerHalfSize, p.y() - markerHalfSize);
    path.lineTo(p.x(), p.y() + markerHalfSize);
    path.lineTo(p.x() + markerHalfSize, p.y() - markerHalfSize);
    path.closeSubpath();
    GraphicsContext::strokePath(path);
}

void KVPrimitiveGraphView::plotCircleAtPoint(const QPointF &p)
{
    QPainterPath path;
    path.addEllipse(markerRect(p));
    GraphicsContext::strokePath(path);
}

void KVPrimitiveGraphView::plotSquareAtPoint(const QPointF &p)
{
    QPainterPath path;
    path.addRect(markerRect(p));
    GraphicsContext::strokePath(path);
}

QString KVPrimitiveGraphView::tickLabel(double value, qint64 decimalPlaces)
{
    // The precision is passed as an argument, never spliced into the format.
    const int places = int(std::clamp<qint64>(decimalPlaces, 0, maximumDecimalPlaces));
    return CFormat::string("%.*f", places, value);
}
