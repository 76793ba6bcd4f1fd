#pragma once

#include <QWidget>

class QVariantAnimation;

// A short puff at a point of a window, shown where an item has just been
// removed. It fades out on its own and deletes itself.
class DisappearingItemEffect : public QWidget
{
    Q_OBJECT

public:
    // centre is in the coordinates of window.
    static DisappearingItemEffect *showAt(QWidget *window, const QPoint &centre);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    explicit DisappearingItemEffect(QWidget *window);

    QVariantAnimation *m_animation;
};
