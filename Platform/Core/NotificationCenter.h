#pragma once

#include "Notification.h"
#include "ObserverList.h"

class QObject;

// Process-local, synchronous notifications: post() calls every matching
// observer before it returns. An observer belongs to a context object and
// is dropped when that object is destroyed.
class NotificationCenter
{
public:
    using Handler = ObserverList::Handler;
    using Token = ObserverList::Token;

    static NotificationCenter &defaultCenter();

    // An empty name observes every notification.
    Token addObserver(const QString &name, QObject *context, Handler handler);
    void removeObserver(Token token);
    void removeObservers(const QObject *context);

    void post(const Notification &notification);
    void post(const QString &name, const QVariant &object = {}, const QVariantMap &userInfo = {});

    int observerCount() const;

private:
    ObserverList m_observers;
};
