#include "NotificationCenter.h"

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString &name, QObject *context,
                                                          Handler handler)
{
    return m_observers.add(name, QString(), context, std::move(handler));
}

void NotificationCenter::removeObserver(Token token)
{
    m_observers.remove(token);
}

void NotificationCenter::removeObservers(const QObject *context)
{
    m_observers.removeAll(context);
}

void NotificationCenter::post(const Notification &notification)
{
    m_observers.dispatch(notification, QString());
}

void NotificationCenter::post(const QString &name, const QVariant &object,
                              const QVariantMap &userInfo)
{
    post(Notification { name, object, userInfo });
}

int NotificationCenter::observerCount() const
{
    return m_observers.count();
}
