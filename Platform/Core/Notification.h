#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// One posted notification: its name, the object it is about and extra values.
struct Notification
{
    QString name;
    QVariant object;
    QVariantMap userInfo;
};
