#pragma once

#include "KVClassesExport.h"

#include <QRectF>
#include <QWidget>

class QPainter;

// A widget that draws in its own y-up coordinate space: units are points,
// the origin is the lower-left corner of its bounds, y grows upwards. A
// subclass draws in drawRect, with the painter made current in
// GraphicsContext. The same drawing serves the screen (paintEvent) and any
// other painter (renderInto: images of any size, printers). Nothing paints a
// background.
class KVCLASSES_EXPORT View : public QWidget
{
    Q_OBJECT

public:
    explicit View(QWidget *parent = nullptr);

    // (0, 0, width, height) in view coordinates.
    QRectF bounds() const;

    // A position in widget coordinates (mouse events: y downwards) in view
    // coordinates.
    QPointF convertPointFromWidget(const QPointF &position) const;

    // The dirty rectangle is in view coordinates.
    virtual void drawRect(const QRectF &dirtyRect);

    // Draws the view at its own size, scaled to fill target (in the painter's
    // current coordinates, y downwards as Qt has it) and clipped to it. The
    // context reports that it is not drawing to the screen.
    void renderInto(QPainter &painter, const QRectF &target);

    // Asks for a redraw on screen; needsDisplay stays set until the next
    // paint event.
    void setNeedsDisplay();
    bool needsDisplay() const { return m_needsDisplay; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_needsDisplay = false;
};
