#pragma once

#include "Notification.h"
#include "ObserverList.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QDBusMessage;

// Notifications between processes, over the D-Bus session bus: a post
// reaches every process that subscribed to its name and object, the posting
// one included. The object is a string; the user information maps strings to
// strings, dates (AbsoluteDate, exact to the bit; QDateTime is accepted on
// posting), integers (qint64; also bool and double pass) and bytes
// (QByteArray). Nothing is acknowledged. Without a session bus it logs one
// warning and does nothing. A signal whose arguments are not the three that
// it posts is ignored, and a value of another type is left out, each with a
// log line: any program on the bus can send one.
class DistributedNotificationCenter : public QObject
{
    Q_OBJECT

public:
    using Handler = ObserverList::Handler;
    using Token = ObserverList::Token;

    static DistributedNotificationCenter &defaultCenter();

    // An empty name or object matches any. When this returns, the bus
    // delivers every later post to the observer. Delivery is always
    // immediate; the flag is kept for callers that ask for it.
    Token addObserver(const QString &name, const QString &object, QObject *context,
                      Handler handler, bool deliverImmediately = false);
    void removeObserver(Token token);
    void removeObserver(const QObject *context, const QString &name, const QString &object);
    void removeObservers(const QObject *context);

    // False when the post could not be handed to the bus.
    bool postNotification(const QString &name, const QString &object,
                          const QVariantMap &userInfo = {}, bool deliverImmediately = true);

    bool isConnected() const;
    int observerCount() const;

    // The D-Bus signal that carries the notifications.
    static QString signalPath();
    static QString signalInterface();
    static QString signalMember();

private slots:
    void receive(const QDBusMessage &message);

private:
    DistributedNotificationCenter();
    bool ensureConnected();

    ObserverList m_observers;
    bool m_subscribed = false;
    bool m_warned = false;
};
