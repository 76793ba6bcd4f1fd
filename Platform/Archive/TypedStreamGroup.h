#pragma once

#include "TypedStreamValue.h"

#include <QByteArray>

#include <vector>

// One value group of an archive: its type string and the values it holds,
// one per type in the string (types that store nothing give no value).
struct TypedStreamGroup
{
    QByteArray type;
    std::vector<TypedStreamValue> values;
    // Byte offset of the group's type string in the stream.
    qint64 offset = 0;
};
