#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class QObject;
class QTimer;

// Deferred work on the main loop ("perform after a delay"). In production each
// action rides on a single-shot QTimer; with the manual clock nothing runs
// until a test advances the clock, and then the due actions run in order of
// their due time (ties in the order they were scheduled), so timelines of
// seconds run instantly and exactly.
class Scheduler
{
public:
    using Token = quint64;
    using Action = std::function<void()>;

    Scheduler();
    ~Scheduler();
    Scheduler(const Scheduler &) = delete;
    Scheduler &operator=(const Scheduler &) = delete;

    static Scheduler &shared();

    // The action is dropped if the context is destroyed before it is due.
    Token performAfterDelay(double seconds, QObject *context, Action action);
    void cancel(Token token);
    void cancelAll(const QObject *context);
    bool isPending(Token token) const;
    int pendingCount() const;

    // Switching clocks drops every pending action.
    void setManualClock(bool manual);
    bool usesManualClock() const { return m_manual; }
    // Seconds since the scheduler was created (or switched clock).
    double now() const;
    // Manual clock only: moves time forward, running whatever falls due.
    void advanceBy(double seconds);

private:
    struct Entry
    {
        double due;
        QPointer<QObject> context;
        bool hasContext;
        Action action;
        std::unique_ptr<QTimer> timer;
    };

    void fire(Token token);

    std::map<Token, Entry> m_entries;
    Token m_nextToken = 1;
    bool m_manual = false;
    double m_manualNow = 0.0;
    QElapsedTimer m_elapsed;
};
