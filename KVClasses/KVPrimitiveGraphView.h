#pragma once

#include "KVClassesExport.h"
#include "View.h"

#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>

// The frame of an x-y chart: axes, minor and major ticks with labels, the
// axis titles and a reference line, the mapping between data values and view
// points, and five point markers. Subclasses draw their data in drawGraph,
// after the frame and inside its clip. All geometry is in view coordinates
// (y upwards, see View).
//
// Settings the tick loops cannot use are skipped rather than drawn: a major
// or minor interval that is not a finite positive number, non-finite range
// ends, or more ticks than any view could show draw no ticks of that kind
// (the axis line and title still appear). An empty range (minimum equal to
// maximum) maps every value to the start of the axis instead of dividing by
// zero.
class KVCLASSES_EXPORT KVPrimitiveGraphView : public View
{
    Q_OBJECT

public:
    explicit KVPrimitiveGraphView(QWidget *parent = nullptr);

    QRectF graphRect() const { return m_graphRect; }
    double minX() const { return m_minX; }
    double maxX() const { return m_maxX; }
    double minY() const { return m_minY; }
    double maxY() const { return m_maxY; }
    double majorXInterval() const { return m_majorXInterval; }
    double minorXInterval() const { return m_minorXInterval; }
    double majorYInterval() const { return m_majorYInterval; }
    double minorYInterval() const { return m_minorYInterval; }
    qint64 majorXIntervalDecimalPlaces() const { return m_majorXIntervalDecimalPlaces; }
    qint64 majorYIntervalDecimalPlaces() const { return m_majorYIntervalDecimalPlaces; }
    QString xTitle() const { return m_xTitle; }
    QString yTitle() const { return m_yTitle; }
    QString referenceTitle() const { return m_referenceTitle; }

    // Data to view; the half unit puts one-unit lines on pixel centres.
    // Nothing is clamped.
    QPointF pointForX(double x, double y) const;
    // The exact inverse, with the plotting area of the most recent draw.
    QPointF coordinateForPoint(const QPointF &point) const;

    // Margins of 50 left, 40 bottom, 10 right and 10 top.
    void setGraphRect(const QRectF &bounds);

    void drawRect(const QRectF &dirtyRect) override;
    // Clips later drawing to the plotting area widened by 10 on the left,
    // bottom and top; an override calls this first, then draws its data.
    virtual void drawGraph();
    virtual void drawXAxis();
    virtual void drawYAxis();
    virtual void drawXTitle();
    virtual void drawYTitle();
    virtual void drawReferenceTitle();
    virtual void drawMajorXTickMarks();
    virtual void drawMinorXTickMarks();
    virtual void drawMajorYTickMarks();
    virtual void drawMinorYTickMarks();

    // 10 x 10 markers centred on a view point, stroked in the current colour.
    void plotCrossAtPoint(const QPointF &point);
    void plotXAtPoint(const QPointF &point);
    void plotTriangleAtPoint(const QPointF &point);
    void plotCircleAtPoint(const QPointF &point);
    void plotSquareAtPoint(const QPointF &point);

    // A major tick's label: the value with the given digits after the point,
    // rounded as printf rounds. Negative places count as 0.
    static QString tickLabel(double value, qint64 decimalPlaces);

protected:
    QRectF m_graphRect;
    double m_minX = 0.0;
    double m_maxX = 0.0;
    double m_minY = 0.0;
    double m_maxY = 0.0;
    double m_majorXInterval = 0.0;
    double m_minorXInterval = 0.0;
    double m_majorYInterval = 0.0;
    double m_minorYInterval = 0.0;
    qint64 m_majorXIntervalDecimalPlaces = 0;
    qint64 m_majorYIntervalDecimalPlaces = 0;
    QString m_xTitle;
    QString m_yTitle;
    QString m_referenceTitle;

private:
    // Calls tick(value) for from, from + interval, ... by repeated addition
    // while the value (floored for major ticks) does not exceed to; does
    // nothing for settings the loop cannot use (see the class comment).
    static void forEachTick(double from, double to, double interval, bool floorValue,
                            const std::function<void(double)> &tick);
    static void drawMinorTicks(double from, double to, double interval,
                               const std::function<void(double)> &tick);
};
