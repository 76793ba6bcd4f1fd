#pragma once

#include <QString>

class QTextStream;
class Unarchiver;

// The structure of a read archive as indented text, for support and
// debugging: every group with its type and values, every object where it is
// first written with its class chain and versions, later uses as "-> #n".
class TypedStreamPrinter
{
public:
    static QString describe(const Unarchiver &archive);
    // The same, written to the stream as it goes, so that a large archive
    // never needs its whole description in memory.
    static void describe(const Unarchiver &archive, QTextStream &out);
};
