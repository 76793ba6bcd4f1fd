#pragma once

#include "Notification.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QObject;

// The observers of a notification centre: each wants notifications of one
// name and object (empty means any) and belongs to a context object, without
// which it is dropped.
class ObserverList
{
public:
    using Handler = std::function<void(const Notification &)>;
    using Token = quint64;

    Token add(const QString &name, const QString &object, QObject *context, Handler handler);
    void remove(Token token);
    void remove(const QObject *context, const QString &name, const QString &object);
    void removeAll(const QObject *context);
    int count() const;

    // Calls every live observer that matches the notification's name and
    // the given object. Observers may add or remove observers meanwhile.
    void dispatch(const Notification &notification, const QString &object);

private:
    struct Observer
    {
        Token token;
        QString name;
        QString object;
        QPointer<QObject> context;
        bool hasContext;
        Handler handler;
    };

    static bool isLive(const Observer &observer);

    std::vector<Observer> m_observers;
    Token m_nextToken = 1;
};
