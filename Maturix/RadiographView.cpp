#include "RadiographView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
// Steps of a window move: a fraction of the window's width, so that a drag
// feels the same on a narrow window as on a wide one.
constexpr double windowStepsPerWidth = 64.0;
// Mouse pixels per window step on a right-drag.
constexpr double pixelsPerWindowStep = 4.0;
// An arrow key pans by this fraction of the widget.
constexpr double panFraction = 0.1;

// Half the size, each pixel the mean of the 2 × 2 it replaces: fine detail
// is averaged rather than dropped, so that a zoomed-out image shows no moiré.
template<typename Pixel>
QImage halved(const QImage &image)
{
    QImage half(std::max(1, image.width() / 2), std::max(1, image.height() / 2), image.format());
    const int right = image.width() - 1;
    const int bottom = image.height() - 1;
    for (int y = 0; y < half.height(); ++y) {
        const auto *top = reinterpret_cast<const Pixel *>(image.constScanLine(std::min(2 * y, bottom)));
        const auto *below = reinterpret_cast<const Pixel *>(image.constScanLine(std::min(2 * y + 1, bottom)));
        auto *out = reinterpret_cast<Pixel *>(half.scanLine(y));
        for (int x = 0; x < half.width(); ++x) {
            const int left = std::min(2 * x, right);
            const int next = std::min(2 * x + 1, right);
            out[x] = Pixel((unsigned(top[left]) + top[next] + below[left] + below[next] + 2) / 4);
        }
    }
    return half;
}
} // namespace

RadiographView::RadiographView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Radiograph"));
    setMinimumSize(200, 200);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RadiographView::setRadiograph(const QImage &values, const RadiographWindow &initialWindow,
                                   const QImage &firstView)
{
    m_values = values;
    m_firstView = firstView;
    m_levels.assign(1, values);
    m_initialWindow = initialWindow;
    m_window = initialWindow;
    m_windowMoved = false;
    m_center = QPointF(values.width() / 2.0, values.height() / 2.0);
    m_fits = true;
    m_zoom = fittingZoom();
    renderShown();
    update();
}

void RadiographView::clear()
{
    m_values = QImage();
    m_firstView = QImage();
    m_levels.clear();
    m_shown = QImage();
    m_shownLevel = -1;
    m_windowMoved = false;
    update();
}

double RadiographView::fittingZoom() const
{
    if (m_values.isNull() || width() <= 0 || height() <= 0)
        return 1.0;
    return std::clamp(std::min(double(width()) / m_values.width(), double(height()) / m_values.height()),
                      minimumZoom, maximumZoom);
}

void RadiographView::setZoom(double zoom)
{
    m_zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    m_center = clampedCenter(m_center);
    renderIfNeeded();
    update();
}

void RadiographView::zoomIn()
{
    m_fits = false;
    setZoom(m_zoom * zoomStep);
}

void RadiographView::zoomOut()
{
    m_fits = false;
    setZoom(m_zoom / zoomStep);
}

void RadiographView::zoomToFit()
{
    m_fits = true;
    m_center = QPointF(m_values.width() / 2.0, m_values.height() / 2.0);
    setZoom(fittingZoom());
}

void RadiographView::zoomToActualSize()
{
    m_fits = false;
    setZoom(1.0);
}

void RadiographView::panBy(const QPointF &screenDelta)
{
    if (!hasRadiograph())
        return;
    m_center = clampedCenter(m_center - screenDelta / m_zoom);
    renderIfNeeded();
    update();
}

QPointF RadiographView::clampedCenter(const QPointF &center) const
{
    // Some of the image always stays on screen.
    return QPointF(std::clamp(center.x(), 0.0, double(m_values.width())),
                   std::clamp(center.y(), 0.0, double(m_values.height())));
}

void RadiographView::moveWindow(double centerSteps, double widthSteps)
{
    if (!hasRadiograph())
        return;
    const double step = std::max(m_window.width, 2.0) / windowStepsPerWidth;
    m_window.center = std::clamp(m_window.center + centerSteps * step, 0.0, 65535.0);
    m_window.width = std::clamp(m_window.width + widthSteps * step, 1.0, 131072.0);
    m_windowMoved = true;
    renderShown();
    update();
}

void RadiographView::resetWindow()
{
    if (!hasRadiograph())
        return;
    m_window = m_initialWindow;
    m_windowMoved = false;
    renderShown();
    update();
}

void RadiographView::toggleInvert()
{
    if (!hasRadiograph())
        return;
    m_window.inverted = !m_window.inverted;
    m_windowMoved = true;
    renderShown();
    update();
}

int RadiographView::levelForZoom() const
{
    if (m_zoom >= 1.0 || m_values.isNull())
        return 0;
    int level = int(std::floor(std::log2(1.0 / m_zoom)));
    while (level > 0 && ((m_values.width() >> level) < 1 || (m_values.height() >> level) < 1))
        --level;
    return level;
}

const QImage &RadiographView::valuesAtLevel(int level)
{
    while (int(m_levels.size()) <= level) {
        m_levels.push_back(halved<quint16>(m_levels.back()));
    }
    return m_levels[level];
}

QRectF RadiographView::visibleRect(int level)
{
    // A halving's size is rounded down: its own ratio, not a power of two.
    const QSize size = valuesAtLevel(level).size();
    const double sx = double(size.width()) / m_values.width();
    const double sy = double(size.height()) / m_values.height();
    const QSizeF half(width() / 2.0 / m_zoom, height() / 2.0 / m_zoom);
    return QRectF((m_center.x() - half.width()) * sx, (m_center.y() - half.height()) * sy,
                  2 * half.width() * sx, 2 * half.height() * sy);
}

void RadiographView::renderIfNeeded()
{
    if (!hasRadiograph())
        return;
    if (levelForZoom() != m_shownLevel)
        renderShown();
    else if (!QRectF(m_shownRect).contains(
                     visibleRect(m_shownLevel).intersected(QRectF(QPointF(), valuesAtLevel(m_shownLevel).size()))))
        renderShown();
}

void RadiographView::renderShown()
{
    if (!hasRadiograph())
        return;
    m_shownLevel = levelForZoom();
    const QImage &values = valuesAtLevel(m_shownLevel);
    const QRect whole(QPoint(), values.size());
    if (!m_windowMoved) {
        m_shownRect = whole;
        m_shown = m_firstView;
        for (int level = 0; level < m_shownLevel; ++level)
            m_shown = halved<uchar>(m_shown);
        return;
    }
    // Zoomed in, only what is on screen is rendered, with half a screen
    // around it so that a short pan needs nothing new.
    const QRectF visible = visibleRect(m_shownLevel);
    const QRect needed = visible.adjusted(-visible.width() / 2, -visible.height() / 2, visible.width() / 2,
                                          visible.height() / 2)
                                 .toAlignedRect()
                                 .intersected(whole);
    m_shownRect = needed.width() * qint64(needed.height()) * 4 > whole.width() * qint64(whole.height()) * 3
            ? whole
            : needed;
    m_shown = m_window.render(m_shownRect == whole ? values : values.copy(m_shownRect));
}

void RadiographView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!hasRadiograph()) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText).lighter());
        painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                         tr("No radiograph for this examination.\n"
                            "Open its DICOM image with File > Open, or drop it on this window."));
        return;
    }
    // Drawn from the halved copy: only the pixels on screen are scaled.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_zoom < 1.0);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.scale(m_zoom, m_zoom);
    painter.translate(-m_center);
    const QSize level = m_levels[m_shownLevel].size();
    const double sx = double(m_values.width()) / level.width();
    const double sy = double(m_values.height()) / level.height();
    painter.drawImage(QRectF(m_shownRect.x() * sx, m_shownRect.y() * sy, m_shownRect.width() * sx,
                             m_shownRect.height() * sy),
                      m_shown);
}

void RadiographView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_fits && hasRadiograph())
        setZoom(fittingZoom());
}

void RadiographView::wheelEvent(QWheelEvent *event)
{
    if (!hasRadiograph())
        return;
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0.0)
        return;
    // The point under the pointer stays where it is.
    const QPointF offset = event->position() - QPointF(width() / 2.0, height() / 2.0);
    const QPointF underPointer = m_center + offset / m_zoom;
    m_fits = false;
    setZoom(m_zoom * std::pow(zoomStep, steps));
    m_center = clampedCenter(underPointer - offset / m_zoom);
    renderIfNeeded();
    update();
    event->accept();
}

void RadiographView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        m_dragButton = event->button();
        m_lastMouse = event->position().toPoint();
        if (m_dragButton == Qt::LeftButton)
            setCursor(Qt::ClosedHandCursor);
    }
}

void RadiographView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    const QPoint delta = position - m_lastMouse;
    m_lastMouse = position;
    if (m_dragButton == Qt::LeftButton)
        panBy(delta);
    else if (m_dragButton == Qt::RightButton)
        moveWindow(delta.y() / pixelsPerWindowStep, delta.x() / pixelsPerWindowStep);
}

void RadiographView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == m_dragButton) {
        m_dragButton = Qt::NoButton;
        unsetCursor();
    }
}

void RadiographView::keyPressEvent(QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    const double pan = panFraction * std::min(width(), height());
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomIn();
        break;
    case Qt::Key_Minus:
        zoomOut();
        break;
    case Qt::Key_F:
        zoomToFit();
        break;
    case Qt::Key_1:
        zoomToActualSize();
        break;
    case Qt::Key_R:
        resetWindow();
        break;
    case Qt::Key_I:
        toggleInvert();
        break;
    case Qt::Key_Left:
        control ? moveWindow(0, -1) : panBy(QPointF(pan, 0));
        break;
    case Qt::Key_Right:
        control ? moveWindow(0, 1) : panBy(QPointF(-pan, 0));
        break;
    case Qt::Key_Up:
        control ? moveWindow(-1, 0) : panBy(QPointF(0, pan));
        break;
    case Qt::Key_Down:
        control ? moveWindow(1, 0) : panBy(QPointF(0, -pan));
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
