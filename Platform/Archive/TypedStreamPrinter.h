#pragma once

#include <QString>

class Unarchiver;

// The structure of a read archive as indented text, for support and
// debugging: every group with its type and values, every object where it is
// first written with its class chain and versions, later uses as "-> #n".
class TypedStreamPrinter
{
public:
    static QString describe(const Unarchiver &archive);
};
