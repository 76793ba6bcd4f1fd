#include "KVInterpolatedView.h"

#include "GraphicsContext.h"

#include "Scheduler.h"

namespace {

constexpr double qualityRedrawDelay = 0.2;

} // namespace

KVInterpolatedView::KVInterpolatedView(QWidget *parent)
    : View(parent)
{
}

void KVInterpolatedView::drawRect(const QRectF &)
{
    switch (m_quality) {
    case Idle:
        GraphicsContext::setImageInterpolation(GraphicsContext::ImageInterpolation::None);
        Scheduler::shared().performAfterDelay(qualityRedrawDelay, this,
                                              [this] { qualityTimerFired(); });
        m_quality = RedrawScheduled;
        break;
    case RedrawScheduled:
        GraphicsContext::setImageInterpolation(GraphicsContext::ImageInterpolation::None);
        break;
    default:
        GraphicsContext::setImageInterpolation(GraphicsContext::ImageInterpolation::High);
        m_quality = Idle;
        break;
    }
}

void KVInterpolatedView::qualityTimerFired()
{
    m_quality = RedrawDue;
    setNeedsDisplay();
}
