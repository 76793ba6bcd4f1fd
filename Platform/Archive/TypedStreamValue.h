#pragma once

#include <QByteArray>

#include <vector>

// One value read from an archive, in the form its type code gives it.
// Objects, classes and C strings are numbers into the archive's reference
// table (-1 for nil); arrays and structs hold their elements.
struct TypedStreamValue
{
    enum class Kind {
        Integer,  // c C B s S i I l L q Q, already reinterpreted in the type's width
        Real,     // f d
        Bytes,    // + and char arrays; isNull for a NULL "+"
        Symbol,   // % and : (shared strings); isNull for NULL
        CString,  // * as a reference, -1 for NULL
        Class,    // # as a reference, -1 for nil
        Object,   // @ as a reference, -1 for nil
        Compound, // [N t] (other than chars) and {...}
    };

    Kind kind = Kind::Integer;
    char code = 0;
    qint64 integer = 0;
    double real = 0.0;
    // The real value was stored as raw IEEE bytes, not in integer form.
    bool rawReal = false;
    bool isNull = false;
    qint64 reference = -1;
    QByteArray bytes;
    std::vector<TypedStreamValue> elements;
};
