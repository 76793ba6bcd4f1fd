#include "GraphicsContext.h"
#include "KVInterpolatedView.h"
#include "Scheduler.h"

#include <QImage>
#include <QPainter>
#include <QTest>

// The fast-then-smooth redraw, run on the manual clock.
class tst_KVInterpolatedView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void oneDrawIsFollowedByOneHighQualityDraw();
    void drawsBeforeTheTimerStartNoFurtherTimers();
    void theTimerRedrawsAShownView();
    void aDestroyedViewDropsItsTimer();
};

namespace {

using Interpolation = GraphicsContext::ImageInterpolation;

// Records the interpolation that the base left set for its images.
class RecordingView : public KVInterpolatedView
{
public:
    QList<Interpolation> draws;

    void drawRect(const QRectF &dirtyRect) override
    {
        // Start from the opposite of what the base should set.
        GraphicsContext::setImageInterpolation(quality() == RedrawDue ? Interpolation::None
                                                                      : Interpolation::High);
        KVInterpolatedView::drawRect(dirtyRect);
        draws << GraphicsContext::imageInterpolation();
    }

    void draw()
    {
        QImage image(20, 20, QImage::Format_ARGB32);
        QPainter painter(&image);
        renderInto(painter, QRectF(0, 0, 20, 20));
    }
};

} // namespace

void tst_KVInterpolatedView::init()
{
    Scheduler::shared().setManualClock(true);
}

void tst_KVInterpolatedView::cleanup()
{
    Scheduler::shared().setManualClock(false);
}

void tst_KVInterpolatedView::oneDrawIsFollowedByOneHighQualityDraw()
{
    RecordingView view;
    view.resize(20, 20);
    QCOMPARE(view.quality(), KVInterpolatedView::Idle);

    view.draw();
    QCOMPARE(view.draws, QList<Interpolation>{Interpolation::None});
    QCOMPARE(view.quality(), KVInterpolatedView::RedrawScheduled);
    QCOMPARE(Scheduler::shared().pendingCount(), 1);

    Scheduler::shared().advanceBy(0.19);
    QCOMPARE(view.quality(), KVInterpolatedView::RedrawScheduled);
    QVERIFY(!view.needsDisplay());

    Scheduler::shared().advanceBy(0.01);
    QCOMPARE(view.quality(), KVInterpolatedView::RedrawDue);
    QVERIFY(view.needsDisplay());

    view.draw();
    QCOMPARE(view.draws, (QList<Interpolation>{Interpolation::None, Interpolation::High}));
    QCOMPARE(view.quality(), KVInterpolatedView::Idle);
    QCOMPARE(Scheduler::shared().pendingCount(), 0);

    // Idle again: the next draw starts the cycle afresh.
    view.draw();
    QCOMPARE(view.draws.last(), Interpolation::None);
    QCOMPARE(Scheduler::shared().pendingCount(), 1);
}

void tst_KVInterpolatedView::drawsBeforeTheTimerStartNoFurtherTimers()
{
    RecordingView view;
    view.resize(20, 20);
    view.draw();
    Scheduler::shared().advanceBy(0.1);
    view.draw();
    view.draw();
    QCOMPARE(Scheduler::shared().pendingCount(), 1);
    // The timer still fires 0.2 s after the first draw, not after the last.
    Scheduler::shared().advanceBy(0.1);
    QCOMPARE(view.quality(), KVInterpolatedView::RedrawDue);
    view.draw();
    QCOMPARE(view.draws,
             (QList<Interpolation>{Interpolation::None, Interpolation::None, Interpolation::None,
                                   Interpolation::High}));
    Scheduler::shared().advanceBy(10);
    QCOMPARE(view.draws.size(), 4);
    QCOMPARE(view.quality(), KVInterpolatedView::Idle);
}

void tst_KVInterpolatedView::theTimerRedrawsAShownView()
{
    RecordingView view;
    view.resize(40, 40);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QTRY_VERIFY(!view.draws.isEmpty());
    QCOMPARE(view.draws.first(), Interpolation::None);
    const qsizetype fastDraws = view.draws.size();

    Scheduler::shared().advanceBy(0.2);
    QTRY_COMPARE(view.draws.size(), fastDraws + 1);
    QCOMPARE(view.draws.last(), Interpolation::High);
    QCOMPARE(view.quality(), KVInterpolatedView::Idle);
    QVERIFY(!view.needsDisplay());
}

void tst_KVInterpolatedView::aDestroyedViewDropsItsTimer()
{
    {
        RecordingView view;
        view.draw();
    }
    Scheduler::shared().advanceBy(1.0); // must not touch the dead view
    QCOMPARE(Scheduler::shared().pendingCount(), 0);
}

QTEST_MAIN(tst_KVInterpolatedView)
#include "tst_kvinterpolatedview.moc"
