#pragma once

// Signals on the distributed-notification path that none of our posters
// sends: arguments of other types or number, or values of types a
// notification does not carry. A receiver refuses the first kind whole and
// leaves the odd values of the second out. Another program on the session
// bus may send any of them.

#include "DistributedNotificationCenter.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

#include <limits>

template <typename... Values>
QVariant wireStructure(const Values &...values)
{
    QDBusArgument argument;
    argument.beginStructure();
    (argument << ... << values);
    argument.endStructure();
    return QVariant::fromValue(argument);
}

// A variant within the variant that carries a value.
inline QVariant wireVariant(const QVariant &value)
{
    QDBusArgument argument;
    argument << QDBusVariant(value);
    return QVariant::fromValue(argument);
}

template <typename Key>
QVariant wireMap(const Key &key, const QString &value)
{
    QDBusArgument argument;
    argument.beginMap(QMetaType::fromType<Key>(), QMetaType::fromType<QString>());
    argument.beginMapEntry();
    argument << key << value;
    argument.endMapEntry();
    argument.endMap();
    return QVariant::fromValue(argument);
}

// Columns "message", "delivered" and "kept" (the user-information keys that
// arrive).
inline void addMalformedNotificationRows(const QString &name, const QString &object)
{
    QTest::addColumn<QDBusMessage>("message");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QStringList>("kept");

    auto row = [&](const char *tag, const QVariantList &arguments, bool delivered,
                   const QStringList &kept = {}) {
        QDBusMessage message = QDBusMessage::createSignal(
                DistributedNotificationCenter::signalPath(),
                DistributedNotificationCenter::signalInterface(),
                DistributedNotificationCenter::signalMember());
        message.setArguments(arguments);
        QTest::newRow(tag) << message << delivered << kept;
    };
    const QString date = QStringLiteral("date");
    const QVariantMap identifier { { "Identifier", "12-345-6" } };

    row("no arguments", {}, false);
    row("no user information", { name, object }, false);
    row("a{ss} user information", { name, object, wireMap(QStringLiteral("Name"), "x") }, false);
    row("a{is} user information", { name, object, wireMap(7, "x") }, false);
    row("(sd) user information", { name, object, wireStructure(date, 1.0) }, false);
    row("array user information", { name, object, QStringList { "Name", "x" } }, false);
    row("integer object", { name, 7, identifier }, false);
    row("fourth argument", { name, object, identifier, QStringLiteral("more") }, false);
    row("values of other types",
        { name, object,
          QVariantMap { { "Identifier", "12-345-6" },
                        { "Paths", QStringList { "/dev/zero" } },
                        { "Path", QVariant::fromValue(QDBusObjectPath("/dev/zero")) },
                        { "Nested", wireVariant(QStringLiteral("x")) },
                        { "Dates", QVariantList { 1.0, 2.0 } } } },
        true, { "Identifier" });
    row("malformed date structures",
        { name, object,
          QVariantMap { { "Identifier", "12-345-6" },
                        { "DateOfStudy", wireStructure(date, 1.0) },
                        { "Integer", wireStructure(date, 5) },
                        { "Tag", wireStructure(QStringLiteral("size"), 1.0) },
                        { "Longer", wireStructure(date, 1.0, date) },
                        { "Reversed", wireStructure(1.0, date) },
                        { "NaN", wireStructure(date, std::numeric_limits<double>::quiet_NaN()) },
                        { "Infinite", wireStructure(date, std::numeric_limits<double>::infinity()) } } },
        true, { "DateOfStudy", "Identifier" });
    row("integers of every width",
        { name, object,
          QVariantMap { { "Gender", int(2) },
                        { "Small", QVariant::fromValue(uchar(7)) },
                        { "Unsigned", QVariant::fromValue(quint64(9)) },
                        { "Too big", QVariant::fromValue(std::numeric_limits<quint64>::max()) } } },
        true, { "Gender", "Small", "Unsigned" });
}
