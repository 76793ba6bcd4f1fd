#include "View.h"

#include "GraphicsContext.h"

#include <QPaintEvent>
#include <QPainter>

View::View(QWidget *parent)
    : QWidget(parent)
{
}

QRectF View::bounds() const
{
    return QRectF(0.0, 0.0, width(), height());
}

QPointF View::convertPointFromWidget(const QPointF &position) const
{
    return {position.x(), height() - position.y()};
}

void View::drawRect(const QRectF &)
{
}

void View::renderInto(QPainter &painter, const QRectF &target)
{
    if (width() <= 0 || height() <= 0 || target.isEmpty())
        return;
    painter.save();
    painter.setClipRect(target, Qt::IntersectClip);
    painter.translate(target.left(), target.bottom());
    painter.scale(target.width() / width(), -target.height() / height());
    {
        GraphicsContext::Scope scope(painter, false);
        drawRect(bounds());
    }
    painter.restore();
}

void View::setNeedsDisplay()
{
    m_needsDisplay = true;
    update();
}

void View::paintEvent(QPaintEvent *event)
{
    m_needsDisplay = false;
    QPainter painter(this);
    painter.translate(0.0, height());
    painter.scale(1.0, -1.0);
    GraphicsContext::Scope scope(painter, true);
    const QRectF dirty = event->rect();
    drawRect(QRectF(dirty.x(), height() - dirty.bottom(), dirty.width(), dirty.height()));
}
