#pragma once

#include "RadiographWindow.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <vector>

// The radiograph of the examination on show: zoom (wheel, +/−, fit, 1:1),
// pan (drag, arrow keys), window/level (right-drag, Ctrl+arrows, reset) and
// invert. The 16-bit values are kept in halved copies so that a window move
// renders only as many pixels as the screen shows.
class RadiographView : public QWidget
{
    Q_OBJECT

public:
    explicit RadiographView(QWidget *parent = nullptr);

    // values: Format_Grayscale16; firstView: Format_Grayscale8 of the same
    // size, shown until the window is moved.
    void setRadiograph(const QImage &values, const RadiographWindow &initialWindow,
                       const QImage &firstView);
    // Shows the hint to open the image.
    void clear();
    bool hasRadiograph() const { return !m_values.isNull(); }

    // Screen pixels per image pixel.
    double zoom() const { return m_zoom; }
    bool fitsWindow() const { return m_fits; }
    const RadiographWindow &window() const { return m_window; }
    // Whether the first view was left for a window of the user's.
    bool windowMoved() const { return m_windowMoved; }
    // What is drawn now, at the resolution drawn from; when zoomed in on a
    // moved window, only the part on screen and a margin around it.
    const QImage &shownImage() const { return m_shown; }

    void zoomIn();
    void zoomOut();
    void zoomToFit();
    void zoomToActualSize();
    void panBy(const QPointF &screenDelta);
    // Centre and width changed by so many steps of the current width.
    void moveWindow(double centerSteps, double widthSteps);
    void resetWindow();
    void toggleInvert();

    static constexpr double zoomStep = 1.25;
    static constexpr double minimumZoom = 1.0 / 64.0;
    static constexpr double maximumZoom = 16.0;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setZoom(double zoom);
    double fittingZoom() const;
    // The halved copy drawn from at the current zoom: 0 is the image itself.
    int levelForZoom() const;
    const QImage &valuesAtLevel(int level);
    void renderShown();
    // Renders again when the zoom asks for another halving or the part on
    // screen has left what was rendered.
    void renderIfNeeded();
    // The part of the image on screen, in pixels of the given halving.
    QRectF visibleRect(int level);
    QPointF clampedCenter(const QPointF &center) const;

    QImage m_values;
    QImage m_firstView;
    std::vector<QImage> m_levels;
    RadiographWindow m_initialWindow;
    RadiographWindow m_window;
    bool m_windowMoved = false;
    QImage m_shown;
    int m_shownLevel = -1;
    // Where m_shown lies, in pixels of its halving.
    QRect m_shownRect;
    double m_zoom = 1.0;
    bool m_fits = true;
    // The image point at the middle of the widget.
    QPointF m_center;
    QPoint m_lastMouse;
    Qt::MouseButton m_dragButton = Qt::NoButton;
};
