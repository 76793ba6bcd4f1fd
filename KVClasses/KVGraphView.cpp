#include "KVGraphView.h"

KVGraphView::KVGraphView(QWidget *parent)
    : KVPrimitiveGraphView(parent)
{
    m_minX = 0.0;
    m_maxX = 30.0;
    m_majorXInterval = 5.0;
    m_minorXInterval = 0.0;
    m_majorXIntervalDecimalPlaces = 0;
    m_minY = 0.0;
    m_maxY = 25.0;
    m_majorYInterval = 5.0;
    m_minorYInterval = 0.0;
    m_majorYIntervalDecimalPlaces = 0;
}

void KVGraphView::plotMark(qint64 code, double x, double y)
{
    const QPointF point = pointForX(x, y);
    switch (code) {
    case 2:
        plotXAtPoint(point);
        break;
    case 3:
        plotTriangleAtPoint(point);
        break;
    case 4:
        plotCircleAtPoint(point);
        break;
    case 5:
        plotSquareAtPoint(point);
        break;
    default:
        plotCrossAtPoint(point);
        break;
    }
}
