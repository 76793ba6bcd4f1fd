#include "Scheduler.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

Scheduler::Scheduler()
{
    m_elapsed.start();
}

Scheduler::~Scheduler() = default;

Scheduler &Scheduler::shared()
{
    static Scheduler scheduler;
    return scheduler;
}

Scheduler::Token Scheduler::performAfterDelay(double seconds, QObject *context, Action action)
{
    const Token token = m_nextToken++;
    const double delay = std::isfinite(seconds) ? std::max(0.0, seconds) : 0.0;
    Entry entry { now() + delay, context, context != nullptr, std::move(action), nullptr };
    if (!m_manual) {
        entry.timer = std::make_unique<QTimer>();
        entry.timer->setSingleShot(true);
        entry.timer->setInterval(int(std::lround(delay * 1000.0)));
        QObject::connect(entry.timer.get(), &QTimer::timeout, entry.timer.get(),
                         [this, token] { fire(token); });
        entry.timer->start();
    }
    m_entries.emplace(token, std::move(entry));
    return token;
}

void Scheduler::cancel(Token token)
{
    m_entries.erase(token);
}

void Scheduler::cancelAll(const QObject *context)
{
    std::erase_if(m_entries, [context](const auto &item) {
        return item.second.hasContext && item.second.context == context;
    });
}

bool Scheduler::isPending(Token token) const
{
    return m_entries.contains(token);
}

int Scheduler::pendingCount() const
{
    return int(m_entries.size());
}

void Scheduler::setManualClock(bool manual)
{
    m_entries.clear();
    m_manual = manual;
    m_manualNow = 0.0;
    m_elapsed.restart();
}

double Scheduler::now() const
{
    return m_manual ? m_manualNow : double(m_elapsed.nsecsElapsed()) / 1e9;
}

void Scheduler::fire(Token token)
{
    auto it = m_entries.find(token);
    if (it == m_entries.end())
        return;
    Entry entry = std::move(it->second);
    m_entries.erase(it);
    if (entry.timer)
        entry.timer.release()->deleteLater(); // we are inside its timeout signal
    if (entry.hasContext && entry.context.isNull())
        return;
    entry.action();
}

void Scheduler::advanceBy(double seconds)
{
    if (!m_manual)
        return;
    const double target = m_manualNow + std::max(0.0, seconds);
    for (;;) {
        // Tokens grow with scheduling order, so the first minimum is the
        // earliest-scheduled of equally due actions.
        auto next = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->second.due <= target && (next == m_entries.end() || it->second.due < next->second.due))
                next = it;
        }
        if (next == m_entries.end())
            break;
        m_manualNow = std::max(m_manualNow, next->second.due);
        fire(next->first);
    }
    m_manualNow = target;
}
