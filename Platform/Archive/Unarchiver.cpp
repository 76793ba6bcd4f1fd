#include "Unarchiver.h"

#include "PrintableText.h"
#include "TypedStreamTag.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

using namespace TypedStreamTag;

bool isTag(qint8 byte)
{
    return byte <= last;
}

template<typename T>
T fromStream(const char *bytes, bool bigEndian)
{
    return bigEndian ? qFromBigEndian<T>(bytes) : qFromLittleEndian<T>(bytes);
}

// What the heap spends on an allocation beside its size.
constexpr qint64 allocationOverhead = 32;

QString hexByte(qint8 byte)
{
    return QStringLiteral("0x%1").arg(quint8(byte), 2, 16, QChar(u'0'));
}

} // namespace

bool Unarchiver::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1 at byte %2").arg(reason, QString::number(m_position));
    return false;
}

bool Unarchiver::countItem()
{
    if (++m_items > maximumItems)
        return fail(QStringLiteral("archive holds more than %1 values").arg(maximumItems));
    return true;
}

bool Unarchiver::charge(qint64 bytes)
{
    if (!affordable(bytes))
        return fail(QStringLiteral("archive would need more than %1 MB of memory to read, "
                                   "far more than its %2 bytes can hold")
                            .arg(m_budget >> 20)
                            .arg(m_data.size()));
    m_used += bytes;
    return true;
}

bool Unarchiver::reserveValues(std::vector<TypedStreamValue> *values, qint64 count)
{
    // Each value takes at least one byte of the stream, and is charged
    // itself once read; only the room is checked here.
    count = std::min<qint64>(count, m_data.size() - m_position);
    if (!affordable(count * qint64(sizeof(TypedStreamValue))))
        return charge(count * qint64(sizeof(TypedStreamValue)));
    values->reserve(size_t(count));
    return true;
}

bool Unarchiver::enter()
{
    if (m_depth >= maximumDepth)
        return fail(QStringLiteral("values nested more than %1 deep").arg(maximumDepth));
    ++m_depth;
    return true;
}

bool Unarchiver::read(const QByteArray &data)
{
    *this = Unarchiver();
    m_data = data;
    m_budget = memoryPerByte * m_data.size() + memoryAllowance;
    if (m_data.isEmpty()) {
        m_error = QStringLiteral("empty file");
        return false;
    }
    if (!readHeader())
        return false;
    // Most entries take a few bytes; a guess saves regrowing the table.
    m_entries.reserve(size_t(std::min<qsizetype>(m_data.size() / 8, 1 << 16)));
    while (m_position < m_data.size()) {
        if (!readGroup(&m_groups))
            return false;
    }
    if (m_groups.empty())
        return fail(QStringLiteral("archive holds no values"));
    return true;
}

bool Unarchiver::readHeader()
{
    qint8 version = 0;
    if (!readByte(&version))
        return false;
    if (version != 4) {
        m_position = 0;
        return fail(QStringLiteral("not a typedstream archive (streamer version %1)").arg(version));
    }
    m_streamerVersion = version;
    static constexpr char littleEndian[] = "streamtyped";
    static constexpr char bigEndian[] = "typedstream";
    constexpr qsizetype signatureLength = sizeof(littleEndian) - 1;
    qint8 length = 0;
    const char *signature = nullptr;
    if (!readByte(&length))
        return false;
    if (length != signatureLength)
        return fail(QStringLiteral("not a typedstream archive (bad signature)"));
    if (!readRaw(signatureLength, &signature))
        return false;
    if (std::memcmp(signature, littleEndian, signatureLength) == 0)
        m_bigEndian = false;
    else if (std::memcmp(signature, bigEndian, signatureLength) == 0)
        m_bigEndian = true;
    else
        return fail(QStringLiteral("not a typedstream archive (bad signature)"));
    return readInteger(&m_systemVersion);
}

bool Unarchiver::readByte(qint8 *byte)
{
    if (!peekByte(byte))
        return fail(QStringLiteral("truncated data"));
    ++m_position;
    return true;
}

bool Unarchiver::peekByte(qint8 *byte) const
{
    if (m_position >= m_data.size())
        return false;
    *byte = qint8(m_data[m_position]);
    return true;
}

bool Unarchiver::readRaw(qsizetype count, const char **bytes)
{
    if (count < 0 || count > m_data.size() - m_position)
        return fail(QStringLiteral("truncated data (%1 bytes needed, %2 left)")
                            .arg(count)
                            .arg(m_data.size() - m_position));
    *bytes = m_data.constData() + m_position;
    m_position += count;
    return true;
}

bool Unarchiver::readIntegerAfter(qint8 lead, qint64 *value)
{
    const char *bytes = nullptr;
    switch (lead) {
    case qint8(int16):
        if (!readRaw(2, &bytes))
            return false;
        *value = fromStream<qint16>(bytes, m_bigEndian);
        return true;
    case qint8(int32):
        if (!readRaw(4, &bytes))
            return false;
        *value = fromStream<qint32>(bytes, m_bigEndian);
        return true;
    case qint8(int64):
        if (!readRaw(8, &bytes))
            return false;
        *value = fromStream<qint64>(bytes, m_bigEndian);
        return true;
    default:
        if (isTag(lead)) {
            --m_position;
            return fail(QStringLiteral("unexpected tag %1 where an integer belongs").arg(hexByte(lead)));
        }
        *value = lead;
        return true;
    }
}

bool Unarchiver::readInteger(qint64 *value)
{
    qint8 lead = 0;
    return readByte(&lead) && readIntegerAfter(lead, value);
}

bool Unarchiver::readSharedString(QByteArray *string, bool *isNull, qint64 *index)
{
    qint8 lead = 0;
    if (!readByte(&lead))
        return false;
    *isNull = false;
    if (lead == qint8(nil)) {
        *isNull = true;
        string->clear();
        return true;
    }
    if (lead == qint8(newEntry)) {
        qint64 length = 0;
        const char *bytes = nullptr;
        if (!readInteger(&length) || !readRaw(length, &bytes) || !countItem()
            || !charge(length + qint64(sizeof(QByteArray) + sizeof(m_typeCache[0])) + allocationOverhead))
            return false;
        *string = QByteArray(bytes, length);
        m_strings.push_back(*string);
        m_typeCache.emplace_back();
        if (index)
            *index = qint64(m_strings.size()) - 1;
        return true;
    }
    qint64 number = 0;
    if (!readIntegerAfter(lead, &number))
        return false;
    number += referenceBias;
    if (number < 0 || number >= qint64(m_strings.size()))
        return fail(QStringLiteral("shared string #%1 not defined").arg(number));
    *string = m_strings[number];
    if (index)
        *index = number;
    return true;
}

bool Unarchiver::readTypes(const TypeList **types, QByteArray *typeString)
{
    bool isNull = false;
    qint64 index = -1;
    const qsizetype start = m_position;
    if (!readSharedString(typeString, &isNull, &index))
        return false;
    if (isNull) {
        m_position = start;
        return fail(QStringLiteral("missing type string"));
    }
    // A type string used many times is parsed once, and its types that
    // hold no data are dropped then, so no group spends time on them.
    if (!m_typeCache[index]) {
        auto parsed = std::make_unique<TypeList>();
        QString reason;
        constexpr qint64 typeSize = qint64(sizeof(TypedStreamType)) + allocationOverhead;
        // While the lists grow, parsing takes up to three times what the
        // parsed types keep.
        if (!TypedStreamType::parse(*typeString, parsed.get(), &reason, (m_budget - m_used) / (3 * typeSize))) {
            m_position = start;
            return fail(QStringLiteral("bad type string \"%1\": %2")
                                .arg(PrintableText::fromUtf8(typeString->left(100)), reason));
        }
        if (!charge(TypedStreamType::removeEmpty(parsed.get()) * typeSize))
            return false;
        m_typeCache[index] = std::move(parsed);
    }
    *types = m_typeCache[index].get();
    return true;
}

bool Unarchiver::readGroup(std::vector<TypedStreamGroup> *groups)
{
    TypedStreamGroup group;
    group.offset = m_position;
    const TypeList *types = nullptr;
    if (!readTypes(&types, &group.type) || !charge(qint64(sizeof(TypedStreamGroup)) + allocationOverhead))
        return false;
    if (!reserveValues(&group.values, qint64(types->size())))
        return false;
    for (const TypedStreamType &type : *types) {
        group.values.emplace_back();
        if (!readValue(type, &group.values.back()))
            return false;
    }
    groups->push_back(std::move(group));
    return true;
}

bool Unarchiver::readValue(const TypedStreamType &type, TypedStreamValue *value)
{
    using Kind = TypedStreamValue::Kind;
    if (!countItem() || !charge(sizeof(TypedStreamValue)))
        return false;
    value->code = type.code;
    qint8 lead = 0;
    qint64 integer = 0;
    const char *bytes = nullptr;
    switch (type.code) {
    case 'c':
    case 'C':
    case 'B':
        if (!readByte(&lead))
            return false;
        value->kind = Kind::Integer;
        value->integer = type.code == 'c' ? qint64(lead) : qint64(quint8(lead));
        return true;
    case 's': case 'S': case 'i': case 'I': case 'l': case 'L': case 'q': case 'Q':
        if (!readInteger(&integer))
            return false;
        value->kind = Kind::Integer;
        // Unsigned values are written as the signed value of the same width.
        switch (type.code) {
        case 's': value->integer = qint16(integer); break;
        case 'S': value->integer = quint16(integer); break;
        case 'i': case 'l': value->integer = qint32(integer); break;
        case 'I': case 'L': value->integer = quint32(integer); break;
        default: value->integer = integer; break;
        }
        return true;
    case 'f':
    case 'd':
        value->kind = Kind::Real;
        if (!readByte(&lead))
            return false;
        if (lead == qint8(real)) {
            value->rawReal = true;
            if (type.code == 'f') {
                if (!readRaw(4, &bytes))
                    return false;
                value->real = double(fromStream<float>(bytes, m_bigEndian));
            } else {
                if (!readRaw(8, &bytes))
                    return false;
                value->real = fromStream<double>(bytes, m_bigEndian);
            }
            return true;
        }
        if (!readIntegerAfter(lead, &integer))
            return false;
        value->real = type.code == 'f' ? double(float(integer)) : double(integer);
        return true;
    case '+':
        value->kind = Kind::Bytes;
        if (!peekByte(&lead))
            return readByte(&lead);
        if (lead == qint8(nil)) {
            ++m_position;
            value->isNull = true;
            return true;
        }
        if (!readInteger(&integer) || !readRaw(integer, &bytes) || !charge(integer + allocationOverhead))
            return false;
        value->bytes = QByteArray(bytes, integer);
        return true;
    case '*':
        value->kind = Kind::CString;
        return readCString(&value->reference);
    case '%':
    case ':':
        value->kind = Kind::Symbol;
        return readSharedString(&value->bytes, &value->isNull);
    case '#':
        value->kind = Kind::Class;
        return readClass(&value->reference);
    case '@':
        value->kind = Kind::Object;
        return readObject(&value->reference);
    case '[':
        if (type.isByteArray()) {
            value->kind = Kind::Bytes;
            if (!readRaw(type.count, &bytes) || !charge(type.count + allocationOverhead))
                return false;
            value->bytes = QByteArray(bytes, type.count);
            return true;
        }
        value->kind = Kind::Compound;
        // Every element takes at least one byte, so a count beyond the rest
        // of the data cannot be right.
        if (type.count > m_data.size() - m_position)
            return fail(QStringLiteral("truncated data (array of %1 elements)").arg(type.count));
        if (type.count > maximumItems - m_items)
            return fail(QStringLiteral("array of %1 elements is too large").arg(type.count));
        if (!enter() || !reserveValues(&value->elements, type.count))
            return false;
        for (qint64 i = 0; i < type.count; ++i) {
            value->elements.emplace_back();
            if (!readValue(type.members[0], &value->elements.back()))
                return false;
        }
        leave();
        return true;
    case '{':
        value->kind = Kind::Compound;
        if (!enter())
            return false;
        if (!reserveValues(&value->elements, qint64(type.members.size())))
            return false;
        for (const TypedStreamType &member : type.members) {
            value->elements.emplace_back();
            if (!readValue(member, &value->elements.back()))
                return false;
        }
        leave();
        return true;
    default:
        return fail(QStringLiteral("type code '%1' has no value").arg(QLatin1Char(type.code)));
    }
}

bool Unarchiver::readReference(qint8 lead, TypedStreamEntry::Kind kind, qint64 *reference)
{
    qint64 number = 0;
    const qsizetype start = m_position - 1;
    if (!readIntegerAfter(lead, &number))
        return false;
    number += referenceBias;
    const TypedStreamEntry *target = entry(number);
    static const char *const kindNames[] = { "an object", "a class", "a C string" };
    if (!target || target->kind != kind) {
        m_position = start;
        return fail(target ? QStringLiteral("reference #%1 is not %2").arg(number).arg(QLatin1String(kindNames[int(kind)]))
                           : QStringLiteral("reference #%1 not defined").arg(number));
    }
    *reference = number;
    return true;
}

bool Unarchiver::readLead(TypedStreamEntry::Kind kind, qint64 *reference, bool *isNew)
{
    qint8 lead = 0;
    *isNew = false;
    if (!readByte(&lead))
        return false;
    if (lead == qint8(nil)) {
        *reference = -1;
        return true;
    }
    if (lead != qint8(newEntry))
        return readReference(lead, kind, reference);
    // The entry takes its number now, before whatever follows.
    if (!countItem() || !charge(sizeof(TypedStreamEntry)))
        return false;
    TypedStreamEntry entry;
    entry.kind = kind;
    entry.offset = m_position - 1;
    *reference = qint64(m_entries.size());
    m_entries.push_back(entry);
    *isNew = true;
    return true;
}

bool Unarchiver::readCString(qint64 *reference)
{
    bool isNew = false;
    if (!readLead(TypedStreamEntry::Kind::CString, reference, &isNew))
        return false;
    if (!isNew)
        return true;
    bool isNull = false;
    QByteArray text;
    if (!readSharedString(&text, &isNull))
        return false;
    if (isNull)
        return fail(QStringLiteral("C string without text"));
    m_entries[*reference].name = text;
    return true;
}

bool Unarchiver::readClass(qint64 *reference)
{
    bool isNew = false;
    if (!readLead(TypedStreamEntry::Kind::Class, reference, &isNew))
        return false;
    // Every class of this chain is new from here on; a reference back into
    // it would make the chain a loop.
    const qint64 chainStart = *reference;
    for (qint64 number = chainStart; isNew;) {
        bool isNull = false;
        QByteArray name;
        if (!readSharedString(&name, &isNull))
            return false;
        if (isNull || name.isEmpty())
            return fail(QStringLiteral("class without a name"));
        m_entries[number].name = name;
        if (!readInteger(&m_entries[number].version))
            return false;
        qint64 superclass = -1;
        if (!readLead(TypedStreamEntry::Kind::Class, &superclass, &isNew))
            return false;
        if (!isNew && superclass >= chainStart)
            return fail(QStringLiteral("class %1 is its own superclass").arg(PrintableText::fromUtf8(name)));
        m_entries[number].superclass = superclass;
        number = superclass;
    }
    return true;
}

bool Unarchiver::readObject(qint64 *reference)
{
    // The number is taken before the class and the contents, so an object
    // can refer to itself.
    bool isNew = false;
    if (!readLead(TypedStreamEntry::Kind::Object, reference, &isNew))
        return false;
    if (!isNew)
        return true;
    const qint64 number = *reference;
    qint8 lead = 0;
    qint64 cls = -1;
    if (!readClass(&cls))
        return false;
    if (cls < 0)
        return fail(QStringLiteral("object #%1 without a class").arg(number));
    m_entries[number].classReference = cls;
    if (!enter())
        return false;
    std::vector<TypedStreamGroup> groups;
    while (true) {
        if (!peekByte(&lead))
            return fail(QStringLiteral("truncated data (object #%1 not ended)").arg(number));
        if (lead == qint8(end)) {
            ++m_position;
            break;
        }
        if (!readGroup(&groups))
            return false;
    }
    leave();
    m_entries[number].groups = std::move(groups);
    return true;
}

const TypedStreamEntry *Unarchiver::entry(qint64 reference) const
{
    if (reference < 0 || reference >= qint64(m_entries.size()))
        return nullptr;
    return &m_entries[reference];
}

std::optional<qint64> Unarchiver::versionForClassName(QByteArrayView className) const
{
    for (const TypedStreamEntry &e : m_entries) {
        if (e.kind == TypedStreamEntry::Kind::Class && e.name == className)
            return e.version;
    }
    return std::nullopt;
}

QByteArray Unarchiver::classNameOf(const TypedStreamEntry &object) const
{
    const TypedStreamEntry *cls = entry(object.classReference);
    return cls ? cls->name : QByteArray();
}

bool Unarchiver::isKindOfClass(const TypedStreamEntry &object, QByteArrayView className) const
{
    // read() refuses class chains that loop, so this walk ends.
    for (const TypedStreamEntry *cls = entry(object.classReference); cls; cls = entry(cls->superclass)) {
        if (cls->name == className)
            return true;
    }
    return false;
}

bool Unarchiver::objectOfClass(const TypedStreamValue &value, QByteArrayView className,
                               const TypedStreamEntry **object, QString *error) const
{
    *object = nullptr;
    if (value.kind != TypedStreamValue::Kind::Object) {
        *error = QStringLiteral("expected an object");
        return false;
    }
    if (value.reference < 0)
        return true;
    const TypedStreamEntry *target = entry(value.reference);
    if (!target || target->kind != TypedStreamEntry::Kind::Object) {
        *error = QStringLiteral("reference #%1 is not an object").arg(value.reference);
        return false;
    }
    if (!isKindOfClass(*target, className)) {
        *error = QStringLiteral("expected %1, found %2")
                         .arg(QString::fromLatin1(className), PrintableText::fromUtf8(classNameOf(*target)));
        return false;
    }
    *object = target;
    return true;
}

namespace {

// The Foundation classes themselves write exactly their groups; only
// subclasses may add their own after them.
bool checkGroups(const Unarchiver &archive, const TypedStreamEntry &object,
                 std::initializer_list<const char *> exactClasses, size_t expected, QString *error)
{
    const QByteArray name = archive.classNameOf(object);
    bool exact = false;
    for (const char *cls : exactClasses)
        exact = exact || name == cls;
    if (object.groups.size() < expected || (exact && object.groups.size() != expected)) {
        *error = QStringLiteral("%1 object #%2 holds %3 value groups, expected %4")
                         .arg(PrintableText::fromUtf8(name),
                              QString::number(&object - archive.entries().data()),
                              QString::number(object.groups.size()), QString::number(expected));
        return false;
    }
    return true;
}

bool checkGroupType(const TypedStreamGroup &group, const char *type, QString *error)
{
    if (group.type != type || group.values.size() != 1) {
        *error = QStringLiteral("value group \"%1\" where \"%2\" belongs (byte %3)")
                         .arg(PrintableText::fromUtf8(group.type), QLatin1String(type),
                              QString::number(group.offset));
        return false;
    }
    return true;
}

} // namespace

bool Unarchiver::decodeString(const TypedStreamValue &value, QString *string, QString *error) const
{
    const TypedStreamEntry *object = nullptr;
    string->clear();
    if (!objectOfClass(value, "NSString", &object, error))
        return false;
    if (!object)
        return true;
    if (!checkGroups(*this, *object, { "NSString", "NSMutableString" }, 1, error)
        || !checkGroupType(object->groups[0], "+", error))
        return false;
    const QByteArray &utf8 = object->groups[0].values[0].bytes;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *string = decoder.decode(utf8);
    if (decoder.hasError()) {
        string->clear();
        *error = QStringLiteral("string at byte %1 is not valid UTF-8").arg(object->offset);
        return false;
    }
    return true;
}

bool Unarchiver::decodeDate(const TypedStreamValue &value, std::optional<AbsoluteDate> *date,
                            QString *error) const
{
    const TypedStreamEntry *object = nullptr;
    date->reset();
    if (!objectOfClass(value, "NSDate", &object, error))
        return false;
    if (!object)
        return true;
    if (!checkGroups(*this, *object, { "NSDate" }, 1, error)
        || !checkGroupType(object->groups[0], "d", error))
        return false;
    *date = AbsoluteDate(object->groups[0].values[0].real);
    return true;
}

bool Unarchiver::decodeArray(const TypedStreamValue &value,
                             std::vector<const TypedStreamValue *> *elements, QString *error) const
{
    const TypedStreamEntry *object = nullptr;
    elements->clear();
    if (!objectOfClass(value, "NSArray", &object, error))
        return false;
    if (!object)
        return true;
    if (!checkGroups(*this, *object, {}, 1, error) || !checkGroupType(object->groups[0], "i", error))
        return false;
    const qint64 count = object->groups[0].values[0].integer;
    if (count < 0 || count > qint64(object->groups.size()) - 1) {
        *error = QStringLiteral("array at byte %1 claims %2 elements but holds %3")
                         .arg(object->offset)
                         .arg(count)
                         .arg(object->groups.size() - 1);
        return false;
    }
    if (!checkGroups(*this, *object, { "NSArray", "NSMutableArray" }, size_t(count) + 1, error))
        return false;
    elements->reserve(size_t(count));
    for (qint64 i = 1; i <= count; ++i) {
        if (!checkGroupType(object->groups[i], "@", error))
            return false;
        elements->push_back(&object->groups[i].values[0]);
    }
    return true;
}
