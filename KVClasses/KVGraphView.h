#pragma once

#include "KVClassesExport.h"
#include "KVPrimitiveGraphView.h"

// The graph frame with its default settings (x 0-30 and y 0-25, major ticks
// every 5, no minor ticks, no decimals, empty titles), a setter per field
// and markers chosen by code. Setters store the value only; a caller that
// wants the change shown asks for a redraw.
class KVCLASSES_EXPORT KVGraphView : public KVPrimitiveGraphView
{
    Q_OBJECT

public:
    explicit KVGraphView(QWidget *parent = nullptr);

    void setMinX(double value) { m_minX = value; }
    void setMaxX(double value) { m_maxX = value; }
    void setMajorXInterval(double value) { m_majorXInterval = value; }
    void setMinorXInterval(double value) { m_minorXInterval = value; }
    void setMinY(double value) { m_minY = value; }
    void setMaxY(double value) { m_maxY = value; }
    void setMajorYInterval(double value) { m_majorYInterval = value; }
    void setMinorYInterval(double value) { m_minorYInterval = value; }
    void setMajorXIntervalDecimalPlaces(qint64 places) { m_majorXIntervalDecimalPlaces = places; }
    void setMajorYIntervalDecimalPlaces(qint64 places) { m_majorYIntervalDecimalPlaces = places; }
    void setXTitle(const QString &title) { m_xTitle = title; }
    void setYTitle(const QString &title) { m_yTitle = title; }
    void setReferenceTitle(const QString &title) { m_referenceTitle = title; }

    // Marks the data point (x, y): 2 an x, 3 a triangle, 4 a circle,
    // 5 a square; 1 and every other code a cross.
    void plotMark(qint64 code, double x, double y);
};
