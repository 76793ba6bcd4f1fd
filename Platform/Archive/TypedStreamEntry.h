#pragma once

#include "TypedStreamGroup.h"

#include <QByteArray>

#include <vector>

// One entry of an archive's reference table: every object, class and C
// string written literally takes the next number, in stream order.
struct TypedStreamEntry
{
    enum class Kind { Object, Class, CString };

    Kind kind = Kind::Object;
    // Class: its name. C string: its text.
    QByteArray name;
    // Class: its version and the reference of its superclass (-1 at the root).
    qint64 version = 0;
    qint64 superclass = -1;
    // Object: the reference of its class and its contents.
    qint64 classReference = -1;
    std::vector<TypedStreamGroup> groups;
    // Byte offset of the entry's NEW tag in the stream.
    qint64 offset = 0;
};
