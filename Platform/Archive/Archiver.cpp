#include "Archiver.h"

#include "TypedStreamTag.h"

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace TypedStreamTag;

template<typename T>
void appendLittleEndian(QByteArray *data, T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian(value, bytes);
    data->append(bytes, sizeof(T));
}

// The integer an integral float or double is stored as, if any. This is
// the original writer's test: round to float, truncate, and compare.
template<typename Real>
std::optional<qint32> compactForm(Real x)
{
    qint32 candidate = 0;
    const double wide = x;
    if (!(std::isnan(wide) || wide >= 2147483646.0 || wide < -2147483646.0)) {
        const float rounded = float(x);
        // Rounding can reach 2^31, which no int holds; such an x is not
        // integral in int range anyway.
        if (!(rounded < 2147483648.0f))
            return std::nullopt;
        candidate = qint32(rounded);
    }
    if (Real(candidate) == x)
        return candidate;
    return std::nullopt;
}

} // namespace

const Archiver::ClassChain &Archiver::stringClassChain()
{
    static const ClassChain chain { { "NSString", 1 }, { "NSObject", 0 } };
    return chain;
}

const Archiver::ClassChain &Archiver::dateClassChain()
{
    static const ClassChain chain { { "NSDate", 0 }, { "NSObject", 0 } };
    return chain;
}

const Archiver::ClassChain &Archiver::mutableArrayClassChain()
{
    static const ClassChain chain { { "NSMutableArray", 0 }, { "NSArray", 0 }, { "NSObject", 0 } };
    return chain;
}

Archiver::Archiver()
{
    m_data.append(char(4));
    writeInteger(11);
    m_data.append("streamtyped", 11);
    writeInteger(1000);
}

void Archiver::writeInteger(qint64 value)
{
    if (value >= -110 && value <= 127) {
        m_data.append(char(qint8(value)));
    } else if (value >= -32767 && value <= 32767) {
        m_data.append(int16);
        appendLittleEndian(&m_data, qint16(value));
    } else if (value >= std::numeric_limits<qint32>::min() && value <= std::numeric_limits<qint32>::max()) {
        m_data.append(int32);
        appendLittleEndian(&m_data, qint32(value));
    } else {
        m_data.append(int64);
        appendLittleEndian(&m_data, value);
    }
}

void Archiver::writeFloat(float value)
{
    if (const auto compact = compactForm(value)) {
        writeInteger(*compact);
        return;
    }
    m_data.append(real);
    appendLittleEndian(&m_data, value);
}

void Archiver::writeDouble(double value)
{
    if (const auto compact = compactForm(value)) {
        writeInteger(*compact);
        return;
    }
    m_data.append(real);
    appendLittleEndian(&m_data, value);
}

void Archiver::writeSharedString(QByteArrayView string)
{
    // Looked up without a copy; only a new entry keeps one.
    const auto found = m_strings.constFind(QByteArray::fromRawData(string.data(), string.size()));
    if (found != m_strings.constEnd()) {
        writeInteger(*found - referenceBias);
        return;
    }
    m_strings.insert(string.toByteArray(), m_strings.size());
    m_data.append(newEntry);
    writeInteger(string.size());
    m_data.append(string.data(), string.size());
}

void Archiver::writeTypeString(QByteArrayView type)
{
    writeSharedString(type);
}

void Archiver::writeReference(qint64 number)
{
    writeInteger(number - referenceBias);
}

void Archiver::writeClassChain(const ClassChain &chain)
{
    for (const ClassDescription &cls : chain) {
        const auto found = m_classes.constFind(cls.name);
        if (found != m_classes.constEnd()) {
            writeReference(*found);
            return;
        }
        m_data.append(newEntry);
        m_classes.insert(cls.name, m_nextReference++);
        writeSharedString(cls.name);
        writeInteger(cls.version);
    }
    m_data.append(nil);
}

bool Archiver::beginObject(const ClassChain &chain, const void *identity)
{
    writeTypeString("@");
    if (identity) {
        const auto found = m_objects.constFind(identity);
        if (found != m_objects.constEnd()) {
            writeReference(*found);
            return false;
        }
        m_objects.insert(identity, m_nextReference);
    }
    m_data.append(newEntry);
    ++m_nextReference;
    writeClassChain(chain);
    ++m_openObjects;
    return true;
}

void Archiver::endObject()
{
    Q_ASSERT(m_openObjects > 0);
    --m_openObjects;
    m_data.append(end);
}

void Archiver::encodeNilObject()
{
    writeTypeString("@");
    m_data.append(nil);
}

void Archiver::encodeString(const QString &string)
{
    beginObject(stringClassChain());
    encodeBytes(string.toUtf8());
    endObject();
}

void Archiver::encodeDate(const std::optional<AbsoluteDate> &date)
{
    if (!date) {
        encodeNilObject();
        return;
    }
    beginObject(dateClassChain());
    encodeDouble(date->secondsSinceReferenceDate());
    endObject();
}

void Archiver::beginMutableArray(qint64 count)
{
    beginObject(mutableArrayClassChain());
    writeTypeString("i");
    writeInteger(count);
}

void Archiver::encodeInt(qint32 value)
{
    writeTypeString("i");
    writeInteger(value);
}

void Archiver::encodeFloat(float value)
{
    writeTypeString("f");
    writeFloat(value);
}

void Archiver::encodeDouble(double value)
{
    writeTypeString("d");
    writeDouble(value);
}

void Archiver::encodeBytes(QByteArrayView bytes)
{
    writeTypeString("+");
    writeInteger(bytes.size());
    m_data.append(bytes.data(), bytes.size());
}
