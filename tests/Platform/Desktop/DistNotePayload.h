#pragma once

// The notification that the distributed-notification test and its peer
// process exchange, and a typed description of what arrived, so that both
// directions are compared value by value.

#include "AbsoluteDate.h"
#include "Notification.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QVariantMap>

inline QByteArray sampleBytes()
{
    QByteArray bytes;
    bytes.append('\0');
    bytes.append(char(0xff));
    for (int i = 0; i < 70000; ++i)
        bytes.append(char((i * 7919) & 0xff));
    bytes.append('\0');
    return bytes;
}

inline QVariantMap samplePayload()
{
    return {
        { QStringLiteral("Name"), QString::fromUtf8("Ærø 名前 \"quoted\" \\ end") },
        { QStringLiteral("Empty"), QString(QLatin1String("")) },
        // Not representable in milliseconds: must arrive bit for bit.
        { QStringLiteral("DateOfBirth"), QVariant::fromValue(AbsoluteDate(123456789.123456789)) },
        { QStringLiteral("Early"), QVariant::fromValue(AbsoluteDate(-63113904000.5)) },
        { QStringLiteral("Gender"), QVariant(qint64(2)) },
        { QStringLiteral("Big"), QVariant((qint64(1) << 62) | 7) },
        { QStringLiteral("Negative"), QVariant(qint64(-5)) },
        { QStringLiteral("JPEG"), sampleBytes() },
        { QStringLiteral("NoBytes"), QByteArray(QByteArrayLiteral("")) },
    };
}

inline QJsonObject describeValue(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<AbsoluteDate>())
        return { { "type", "date" },
                 { "value",
                   QString::number(value.value<AbsoluteDate>().secondsSinceReferenceDate(), 'g',
                                   17) } };
    switch (value.typeId()) {
    case QMetaType::QString:
        return { { "type", "string" }, { "value", value.toString() } };
    case QMetaType::LongLong:
        return { { "type", "integer" }, { "value", QString::number(value.toLongLong()) } };
    case QMetaType::QByteArray:
        return { { "type", "bytes" },
                 { "value", QString::fromLatin1(value.toByteArray().toBase64()) } };
    default:
        return { { "type", QString::fromLatin1(value.typeName()) } };
    }
}

inline QJsonObject describeNotification(const Notification &notification)
{
    QJsonObject info;
    for (auto it = notification.userInfo.cbegin(); it != notification.userInfo.cend(); ++it)
        info.insert(it.key(), describeValue(it.value()));
    return { { "name", notification.name },
             { "object", notification.object.toString() },
             { "userInfo", info } };
}
