#pragma once

#include "AbsoluteDate.h"
#include "TypedStreamEntry.h"
#include "TypedStreamGroup.h"
#include "TypedStreamType.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Reads a typedstream archive as NSUnarchiver does. read() walks the whole
// stream without knowing any class (every group carries its type string)
// and keeps its value groups and reference table; the Foundation decoders
// and the version look-up work on that result. Both byte orders and every
// integer and float form are accepted. Nothing is allocated from a length
// the stream gives before the data for it is known to be there, nesting is
// bounded, and a class chain that loops back on itself is an error. What the
// reader keeps is counted against a memory budget in proportion to the
// file's size, so a crafted file is refused long before it can exhaust
// memory.
class Unarchiver
{
public:
    // Objects, arrays and structs nested inside each other; real archives
    // stay far below.
    static constexpr int maximumDepth = 200;
    // Values, reference-table entries and shared strings of one archive,
    // which bounds the memory a file can make the reader use; a patient
    // file holds about ten per examination.
    static constexpr qint64 maximumItems = qint64(1) << 21;
    // The memory budget: this many bytes per byte of the file, plus a fixed
    // allowance. Real archives need a fraction of it: a patient file of a
    // thousand examinations keeps about a megabyte.
    static constexpr qint64 memoryPerByte = 4;
    static constexpr qint64 memoryAllowance = qint64(32) << 20;

    // False with errorString() set when the data is no well-formed archive.
    bool read(const QByteArray &data);
    QString errorString() const { return m_error; }

    bool isBigEndian() const { return m_bigEndian; }
    qint64 streamerVersion() const { return m_streamerVersion; }
    qint64 systemVersion() const { return m_systemVersion; }
    // The top-level value groups; an archived root object is one "@" group.
    const std::vector<TypedStreamGroup> &groups() const { return m_groups; }
    const std::vector<TypedStreamEntry> &entries() const { return m_entries; }
    // The entry a reference names, or null for nil.
    const TypedStreamEntry *entry(qint64 reference) const;

    // The version the stream records for a class, if it holds the class.
    std::optional<qint64> versionForClassName(QByteArrayView className) const;
    QByteArray classNameOf(const TypedStreamEntry &object) const;
    // Whether the object's class or one of its superclasses has this name.
    bool isKindOfClass(const TypedStreamEntry &object, QByteArrayView className) const;

    // Class-specific decoding of "@" values. nil decodes as the empty string,
    // an absent date and an empty array. Subclasses are accepted (their own
    // groups follow those of the Foundation class and are skipped).
    bool decodeString(const TypedStreamValue &value, QString *string, QString *error) const;
    bool decodeDate(const TypedStreamValue &value, std::optional<AbsoluteDate> *date,
                    QString *error) const;
    // The "@" values of the elements, in order.
    bool decodeArray(const TypedStreamValue &value, std::vector<const TypedStreamValue *> *elements,
                     QString *error) const;

private:
    using TypeList = std::vector<TypedStreamType>;

    bool readHeader();
    bool readGroup(std::vector<TypedStreamGroup> *groups);
    bool readValue(const TypedStreamType &type, TypedStreamValue *value);
    bool readObject(qint64 *reference);
    bool readClass(qint64 *reference);
    bool readCString(qint64 *reference);
    // The lead byte where a new entry, nil or a reference may stand; a new
    // entry of the kind is added and *isNew set.
    bool readLead(TypedStreamEntry::Kind kind, qint64 *reference, bool *isNew);
    bool readReference(qint8 lead, TypedStreamEntry::Kind kind, qint64 *reference);
    bool readSharedString(QByteArray *string, bool *isNull, qint64 *index = nullptr);
    bool readTypes(const TypeList **types, QByteArray *typeString);
    bool readByte(qint8 *byte);
    bool peekByte(qint8 *byte) const;
    bool readRaw(qsizetype count, const char **bytes);
    bool readIntegerAfter(qint8 lead, qint64 *value);
    bool readInteger(qint64 *value);
    bool fail(const QString &reason);
    // Counts one more value or entry against maximumItems.
    bool countItem();
    // Counts memory the reader keeps against the budget.
    bool charge(qint64 bytes);
    // Room for that many values, within the data left and the budget.
    bool reserveValues(std::vector<TypedStreamValue> *values, qint64 count);
    // Whether that much more memory stays within the budget.
    bool affordable(qint64 bytes) const { return bytes >= 0 && bytes <= m_budget - m_used; }
    // One level deeper, within maximumDepth; leave() after it.
    bool enter();
    void leave() { --m_depth; }

    // The object a "@" value names and that is of the class; false when the
    // value is nil (object null) or the object is something else.
    bool objectOfClass(const TypedStreamValue &value, QByteArrayView className,
                       const TypedStreamEntry **object, QString *error) const;

    QByteArray m_data;
    qsizetype m_position = 0;
    bool m_bigEndian = false;
    qint64 m_streamerVersion = 0;
    qint64 m_systemVersion = 0;
    int m_depth = 0;
    qint64 m_items = 0;
    qint64 m_budget = 0;
    qint64 m_used = 0;
    std::vector<QByteArray> m_strings;
    // Parsed type strings by shared-string number, filled on first use.
    std::vector<std::unique_ptr<const TypeList>> m_typeCache;
    std::vector<TypedStreamEntry> m_entries;
    std::vector<TypedStreamGroup> m_groups;
    QString m_error;
};
