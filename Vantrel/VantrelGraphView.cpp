#include "VantrelGraphView.h"

#include "VantrelDocument.h"

#include <QMouseEvent>

VantrelGraphView::VantrelGraphView(QWidget *parent)
    : KVGraphView(parent)
{
}

void VantrelGraphView::mousePressEvent(QMouseEvent *event)
{
    KVGraphView::mousePressEvent(event);
    const QPointF point = coordinateForPoint(convertPointFromWidget(event->position()));
    if (VantrelDocument *document = m_owningDocument.data()) {
        // The base handler ignores the press; the chart has used it, so it
        // goes no further up the widget tree.
        event->accept();
        document->setCurrentRecordFromClick(point);
    }
}
