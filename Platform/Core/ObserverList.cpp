#include "ObserverList.h"

#include <QObject>

#include <algorithm>

ObserverList::Token ObserverList::add(const QString &name, const QString &object, QObject *context,
                                      Handler handler)
{
    const Token token = m_nextToken++;
    m_observers.push_back({ token, name, object, context, context != nullptr, std::move(handler) });
    return token;
}

void ObserverList::remove(Token token)
{
    std::erase_if(m_observers, [token](const Observer &o) { return o.token == token; });
}

void ObserverList::remove(const QObject *context, const QString &name, const QString &object)
{
    std::erase_if(m_observers, [&](const Observer &o) {
        return o.context == context && o.name == name && o.object == object;
    });
}

void ObserverList::removeAll(const QObject *context)
{
    std::erase_if(m_observers, [context](const Observer &o) { return o.context == context; });
}

bool ObserverList::isLive(const Observer &observer)
{
    return !observer.hasContext || !observer.context.isNull();
}

int ObserverList::count() const
{
    return int(std::count_if(m_observers.begin(), m_observers.end(), isLive));
}

void ObserverList::dispatch(const Notification &notification, const QString &object)
{
    std::erase_if(m_observers, [](const Observer &o) { return !isLive(o); });

    // Work from a snapshot of tokens and look each one up again before
    // calling it, since a handler may change the list.
    std::vector<Token> tokens;
    for (const Observer &o : m_observers) {
        if ((o.name.isEmpty() || o.name == notification.name)
            && (o.object.isEmpty() || o.object == object))
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
