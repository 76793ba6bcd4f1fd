#pragma once

#include "AbsoluteDate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>
#include <vector>

// Writes a little-endian typedstream archive byte for byte as NSArchiver
// does: shared type strings and class names, one numbering for objects and
// classes in stream order, each class chain written once and referenced
// after, integers in their shortest form and integral floats and doubles in
// integer form. Every encode call writes one value group.
class Archiver
{
public:
    struct ClassDescription
    {
        QByteArray name;
        qint64 version = 0;
    };
    // A class and its superclasses, ending with the root class.
    using ClassChain = std::vector<ClassDescription>;

    static const ClassChain &stringClassChain();
    static const ClassChain &dateClassChain();
    static const ClassChain &mutableArrayClassChain();

    // Starts the archive with its header.
    Archiver();

    // A "@" group holding a new object of the class, whose contents the
    // caller then encodes before endObject(). When `identity` names an
    // object written before, a back-reference is written instead and the
    // answer is false: no contents and no endObject() then.
    bool beginObject(const ClassChain &chain, const void *identity = nullptr);
    void endObject();
    void encodeNilObject();

    void encodeString(const QString &string);
    // nil when there is no date.
    void encodeDate(const std::optional<AbsoluteDate> &date);
    // A mutable array object with its count; the caller encodes `count`
    // objects and ends it with endObject().
    void beginMutableArray(qint64 count);

    void encodeInt(qint32 value);
    void encodeFloat(float value);
    void encodeDouble(double value);
    void encodeBytes(QByteArrayView bytes);

    // The pieces of a group, for groups of several values.
    void writeTypeString(QByteArrayView type);
    void writeInteger(qint64 value);
    void writeFloat(float value);
    void writeDouble(double value);

    const QByteArray &archivedData() const { return m_data; }

private:
    void writeSharedString(QByteArrayView string);
    void writeReference(qint64 number);
    void writeClassChain(const ClassChain &chain);

    QByteArray m_data;
    QHash<QByteArray, qint64> m_strings;
    QHash<QByteArray, qint64> m_classes;
    QHash<const void *, qint64> m_objects;
    qint64 m_nextReference = 0;
    int m_openObjects = 0;
};
