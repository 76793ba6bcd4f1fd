#include "DisappearingItemEffect.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {
constexpr int effectSize = 40;
constexpr int durationMs = 350;
} // namespace

DisappearingItemEffect::DisappearingItemEffect(QWidget *window)
    : QWidget(window), m_animation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    resize(effectSize, effectSize);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setDuration(durationMs);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(m_animation, &QVariantAnimation::finished, this, &QObject::deleteLater);
}

DisappearingItemEffect *DisappearingItemEffect::showAt(QWidget *window, const QPoint &centre)
{
    if (!window)
        return nullptr;
    auto *effect = new DisappearingItemEffect(window);
    effect->move(centre - QPoint(effectSize / 2, effectSize / 2));
    effect->raise();
    effect->show();
    effect->m_animation->start();
    return effect;
}

void DisappearingItemEffect::paintEvent(QPaintEvent *)
{
    const double progress = m_animation->currentValue().toDouble();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(128, 128, 128, int(180 * (1.0 - progress))));
    // A few small clouds drifting apart as they fade.
    const QPointF centre(effectSize / 2.0, effectSize / 2.0);
    const double spread = 4.0 + 12.0 * progress;
    const double radius = 6.0 * (1.0 - 0.5 * progress);
    for (const QPointF &direction : { QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1) })
        painter.drawEllipse(centre + direction * spread, radius, radius);
}
