#pragma once

#include <QtGlobal>

// The reserved lead bytes of a typedstream, shared by reader and writer.
// Any other lead byte is a one-byte integer.
namespace TypedStreamTag {
constexpr char int16 = char(0x81);
constexpr char int32 = char(0x82);
constexpr char real = char(0x83);
constexpr char newEntry = char(0x84);
constexpr char nil = char(0x85);
constexpr char end = char(0x86);
constexpr char int64 = char(0x87);
// Tags run from 0x80 to this; as signed bytes, -128 to -111.
constexpr qint8 last = qint8(0x91);
// Reference numbers and shared-string numbers are written as n - 110.
constexpr qint64 referenceBias = 110;
} // namespace TypedStreamTag
