#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <limits>
#include <vector>

// One element of an archive type string ("i", "[4c]", "{_NSRange=II}").
// Arrays hold their element type, structs their fields, in members.
struct TypedStreamType
{
    // Nesting of arrays and structs inside one type string.
    static constexpr int maximumDepth = 32;
    // Elements of one array type; larger counts cannot come from real data.
    static constexpr qint64 maximumArrayCount = 1 << 30;

    char code = 0;
    qint64 count = 0;
    QByteArray name;
    std::vector<TypedStreamType> members;

    // Splits a type string into its types; false with the reason when it is
    // malformed, uses a code the archive format has no value encoding for,
    // or holds more than maximumTypes types in all (members counted).
    static bool parse(QByteArrayView text, std::vector<TypedStreamType> *types, QString *error,
                      qint64 maximumTypes = std::numeric_limits<qint64>::max());
    // Drops the types that occupy no data, members included, so a reader
    // spends its time only on types that consume bytes; returns how many
    // types remain in all.
    static qint64 removeEmpty(std::vector<TypedStreamType> *types);
    // Whether a value of this type occupies at least one byte of the stream;
    // types that occupy none ("!", empty structs) are skipped when reading.
    bool occupiesData() const;
    // An array of chars, stored as raw bytes.
    bool isByteArray() const { return code == '[' && (members[0].code == 'c' || members[0].code == 'C'); }
};
