#include "DistributedNotificationCenter.h"

#include "AbsoluteDate.h"
#include "Logging.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {
// A date travels as the struct (s d): the tag "date" and the absolute time,
// so it is told apart from a plain double and keeps every bit.
const char dateTag[] = "date";
// Name, object and user information.
const char wireSignature[] = "ssa{sv}";

QVariant toWire(const QString &key, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::LongLong:
        return value;
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::UShort:
        return QVariant(value.toLongLong());
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        return QVariant(qint64(value.toULongLong()));
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime dateTime = value.typeId() == QMetaType::QDate
                ? value.toDate().startOfDay()
                : value.toDateTime();
        return toWire(key, QVariant::fromValue(AbsoluteDate::fromDateTime(dateTime)));
    }
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<AbsoluteDate>()) {
        QDBusArgument argument;
        argument.beginStructure();
        argument << QString::fromLatin1(dateTag)
                 << value.value<AbsoluteDate>().secondsSinceReferenceDate();
        argument.endStructure();
        return QVariant::fromValue(argument);
    }
    qCWarning(lcPlatform, "Distributed notification: value \"%s\" of type %s left out",
              qPrintable(key), value.typeName());
    return {};
}

// The dictionary's values as this centre sends them (see toWire); an integer
// of any width also passes, since other senders may use narrower ones. A
// value of another type is left out with a log line; the others stay.
QVariant fromWire(const QString &key, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::LongLong:
        return value;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::ULongLong:
        if (value.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return QVariant(qint64(value.toULongLong()));
        break;
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == QLatin1String("(sd)")) {
            QString tag;
            double seconds = 0.0;
            argument.beginStructure();
            argument >> tag >> seconds;
            argument.endStructure();
            if (tag == QLatin1String(dateTag) && std::isfinite(seconds))
                return QVariant::fromValue(AbsoluteDate(seconds));
        }
    }
    qCWarning(lcPlatform, "Distributed notification: value \"%s\" of an unknown type left out",
              qPrintable(key));
    return {};
}

// The notification a signal carries, or nothing when its arguments are not
// the three that postNotification sends. The signature is checked before
// anything is read: reading a value as a type it does not have is not safe.
std::optional<Notification> notificationFromWire(const QDBusMessage &message)
{
    if (message.signature() != QLatin1String(wireSignature)) {
        qCWarning(lcPlatform, "Distributed notification with arguments \"%s\" ignored",
                  qPrintable(message.signature()));
        return std::nullopt;
    }
    const QList<QVariant> arguments = message.arguments();
    QVariantMap map;
    const QVariant info = arguments.at(2);
    if (info.metaType() == QMetaType::fromType<QDBusArgument>())
        info.value<QDBusArgument>() >> map;
    else
        map = info.toMap();

    Notification notification { arguments.at(0).toString(), arguments.at(1).toString(), {} };
    // Reading the map has taken each value out of its variant already; a
    // variant found here was a variant within one, which we never send.
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant decoded = fromWire(it.key(), it.value());
        if (decoded.isValid())
            notification.userInfo.insert(it.key(), decoded);
    }
    return notification;
}
} // namespace

DistributedNotificationCenter::DistributedNotificationCenter() = default;

DistributedNotificationCenter &DistributedNotificationCenter::defaultCenter()
{
    static DistributedNotificationCenter center;
    return center;
}

QString DistributedNotificationCenter::signalPath()
{
    return QStringLiteral("/org/vantrel/DistributedNotification");
}

QString DistributedNotificationCenter::signalInterface()
{
    return QStringLiteral("org.vantrel.DistributedNotification");
}

QString DistributedNotificationCenter::signalMember()
{
    return QStringLiteral("Notification");
}

bool DistributedNotificationCenter::isConnected() const
{
    return QDBusConnection::sessionBus().isConnected();
}

bool DistributedNotificationCenter::ensureConnected()
{
    if (isConnected())
        return true;
    if (!m_warned) {
        m_warned = true;
        qCWarning(lcPlatform, "No D-Bus session bus: distributed notifications are off (%s)",
                  qPrintable(QDBusConnection::sessionBus().lastError().message()));
    }
    return false;
}

DistributedNotificationCenter::Token DistributedNotificationCenter::addObserver(
        const QString &name, const QString &object, QObject *context, Handler handler, bool)
{
    const Token token = m_observers.add(name, object, context, std::move(handler));
    if (!m_subscribed && ensureConnected()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        m_subscribed = bus.connect(QString(), signalPath(), signalInterface(), signalMember(),
                                   this, SLOT(receive(QDBusMessage)));
        // The bus handles a connection's messages in order: once this call
        // is answered, the match rule above is in force.
        if (m_subscribed && bus.interface())
            bus.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
    }
    return token;
}

void DistributedNotificationCenter::removeObserver(Token token)
{
    m_observers.remove(token);
}

void DistributedNotificationCenter::removeObserver(const QObject *context, const QString &name,
                                                   const QString &object)
{
    m_observers.remove(context, name, object);
}

void DistributedNotificationCenter::removeObservers(const QObject *context)
{
    m_observers.removeAll(context);
}

int DistributedNotificationCenter::observerCount() const
{
    return m_observers.count();
}

bool DistributedNotificationCenter::postNotification(const QString &name, const QString &object,
                                                     const QVariantMap &userInfo, bool)
{
    if (!ensureConnected())
        return false;
    QVariantMap wire;
    for (auto it = userInfo.cbegin(); it != userInfo.cend(); ++it) {
        const QVariant value = toWire(it.key(), it.value());
        if (value.isValid())
            wire.insert(it.key(), value);
    }
    QDBusMessage message =
            QDBusMessage::createSignal(signalPath(), signalInterface(), signalMember());
    message << name << object << wire;
    if (QDBusConnection::sessionBus().send(message))
        return true;
    qCWarning(lcPlatform, "Distributed notification \"%s\" could not be sent", qPrintable(name));
    return false;
}

void DistributedNotificationCenter::receive(const QDBusMessage &message)
{
    const std::optional<Notification> notification = notificationFromWire(message);
    if (!notification)
        return;
    m_observers.dispatch(*notification, notification->object.toString());
}
