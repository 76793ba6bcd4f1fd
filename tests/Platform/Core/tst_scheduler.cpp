#include "Scheduler.h"

#include <QObject>
#include <QTest>

class tst_Scheduler : public QObject
{
    Q_OBJECT

private slots:
    void manualClockRunsInDueOrder();
    void actionsScheduledWhileAdvancing();
    void cancelAndContext();
    void realTimers();
};

void tst_Scheduler::manualClockRunsInDueOrder()
{
    Scheduler scheduler;
    scheduler.setManualClock(true);
    QStringList ran;
    QObject context;
    // A launch timeline, scheduled out of order.
    scheduler.performAfterDelay(2.0, &context, [&] { ran << "version check"; });
    scheduler.performAfterDelay(0.5, &context, [&] { ran << "script"; });
    scheduler.performAfterDelay(1.5, &context, [&] { ran << "cache"; });
    scheduler.performAfterDelay(1.5, &context, [&] { ran << "cache second"; });
    scheduler.performAfterDelay(3.0, &context, [&] { ran << "splash"; });
    scheduler.advanceBy(0.4);
    QVERIFY(ran.isEmpty());
    scheduler.advanceBy(1.6);
    QCOMPARE(ran, (QStringList { "script", "cache", "cache second", "version check" }));
    QCOMPARE(scheduler.now(), 2.0);
    scheduler.advanceBy(10.0);
    QCOMPARE(ran.last(), QStringLiteral("splash"));
    QCOMPARE(scheduler.pendingCount(), 0);
}

void tst_Scheduler::actionsScheduledWhileAdvancing()
{
    Scheduler scheduler;
    scheduler.setManualClock(true);
    QList<double> times;
    QObject context;
    // A retry every 10 s, as a scan repeats while nothing is found.
    std::function<void()> retry = [&] {
        times << scheduler.now();
        if (times.size() < 3)
            scheduler.performAfterDelay(10.0, &context, retry);
    };
    scheduler.performAfterDelay(1.5, &context, retry);
    scheduler.advanceBy(100.0);
    QCOMPARE(times, (QList<double> { 1.5, 11.5, 21.5 }));
}

void tst_Scheduler::cancelAndContext()
{
    Scheduler scheduler;
    scheduler.setManualClock(true);
    int calls = 0;
    auto context = std::make_unique<QObject>();
    QObject other;
    const auto token = scheduler.performAfterDelay(1.0, &other, [&] { ++calls; });
    scheduler.performAfterDelay(1.0, context.get(), [&] { ++calls; });
    scheduler.performAfterDelay(1.0, nullptr, [&] { calls += 10; });
    QVERIFY(scheduler.isPending(token));
    scheduler.cancel(token);
    context.reset();
    scheduler.advanceBy(5.0);
    QCOMPARE(calls, 10);
}

void tst_Scheduler::realTimers()
{
    Scheduler scheduler;
    QStringList ran;
    QObject context;
    scheduler.performAfterDelay(0.05, &context, [&] { ran << "later"; });
    scheduler.performAfterDelay(0.0, &context, [&] { ran << "first"; });
    QTRY_COMPARE(ran, (QStringList { "first", "later" }));
    QCOMPARE(scheduler.pendingCount(), 0);
}

QTEST_GUILESS_MAIN(tst_Scheduler)
#include "tst_scheduler.moc"
