#pragma once

#include "KVClassesExport.h"
#include "View.h"

// A view that draws its images without interpolation while it is redrawn in
// quick succession, and 0.2 s after the first such draw once more with
// high-quality interpolation. A subclass calls drawRect first, then draws
// its images in the current context.
class KVCLASSES_EXPORT KVInterpolatedView : public View
{
    Q_OBJECT

public:
    // 0 idle, 1 fast draw done and the quality redraw scheduled, 2 quality
    // redraw due.
    enum Quality : qint64 { Idle = 0, RedrawScheduled = 1, RedrawDue = 2 };

    explicit KVInterpolatedView(QWidget *parent = nullptr);

    qint64 quality() const { return m_quality; }

    void drawRect(const QRectF &dirtyRect) override;
    void qualityTimerFired();

private:
    qint64 m_quality = Idle;
};
