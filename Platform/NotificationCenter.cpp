#include "NotificationCenter.h"

#include <QObject>

#include <algorithm>

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, QObject *context,
                                                          Handler handler)
{
    const Token token = m_nextToken++;
    m_observers.push_back({ token, name, context, context != nullptr, std::move(handler) });
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::erase_if(m_observers, [token](const Observer &o) { return o.token == token; });
}

void NotificationCenter::removeObservers(const QObject *context)
{
    std::erase_if(m_observers, [context](const Observer &o) { return o.context == context; });
}

bool NotificationCenter::isLive(const Observer &observer) const
{
    return !observer.hasContext || !observer.context.isNull();
}

void NotificationCenter::post(const Notification &notification)
{
    std::erase_if(m_observers, [this](const Observer &o) { return !isLive(o); });

    // Observers may add or remove observers while being called: work from a
    // snapshot of tokens and look each one up again before calling it.
    std::vector<Token> tokens;
    for (const Observer &o : m_observers) {
        if (o.name.isEmpty() || o.name == notification.name)
            tokens.push_back(o.token);
    }
    for (Token token : tokens) {
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [token](const Observer &o) { return o.token == token; });
        if (it == m_observers.end() || !isLive(*it))
            continue;
        Handler handler = it->handler;
        handler(notification);
    }
}

void NotificationCenter::post(const QString &name, const QVariant &object,
                              const QVariantMap &userInfo)
{
    post(Notification { name, object, userInfo });
}

int NotificationCenter::observerCount() const
{
    return int(std::count_if(m_observers.begin(), m_observers.end(),
                             [this](const Observer &o) { return isLive(o); }));
}
