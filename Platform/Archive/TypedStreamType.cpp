#include "TypedStreamType.h"

namespace {

class TypeParser
{
public:
    TypeParser(QByteArrayView text, qint64 maximumTypes) : m_text(text), m_maximumTypes(maximumTypes) { }

    bool parseOne(TypedStreamType *type, int depth)
    {
        if (++m_types > m_maximumTypes)
            return failWith(QStringLiteral("type string holds more than %1 types").arg(m_maximumTypes));
        if (depth > TypedStreamType::maximumDepth)
            return failWith(QStringLiteral("type string nested too deeply"));
        if (atEnd())
            return failWith(QStringLiteral("type string ends early"));
        const char c = m_text[m_position++];
        type->code = c;
        switch (c) {
        case 'c': case 'C': case 'B': case 's': case 'S': case 'i': case 'I': case 'l':
        case 'L': case 'q': case 'Q': case 'f': case 'd': case '+': case '*': case '%':
        case ':': case '#': case '@': case '!':
            return true;
        case '[': {
            qint64 count = 0;
            bool digits = false;
            while (!atEnd() && m_text[m_position] >= '0' && m_text[m_position] <= '9') {
                count = count * 10 + (m_text[m_position++] - '0');
                digits = true;
                if (count > TypedStreamType::maximumArrayCount)
                    return failWith(QStringLiteral("array type with an absurd count"));
            }
            if (!digits)
                return failWith(QStringLiteral("array type without a count"));
            type->count = count;
            type->members.resize(1);
            if (!parseOne(&type->members[0], depth + 1))
                return false;
            if (atEnd() || m_text[m_position] != ']')
                return failWith(QStringLiteral("array type not closed"));
            ++m_position;
            return true;
        }
        case '{': {
            const qsizetype start = m_position;
            while (!atEnd() && m_text[m_position] != '=' && m_text[m_position] != '}')
                ++m_position;
            if (atEnd())
                return failWith(QStringLiteral("struct type not closed"));
            if (m_text[m_position] == '=') {
                type->name = m_text.sliced(start, m_position - start).toByteArray();
                ++m_position;
            } else if (m_position != start) {
                return failWith(QStringLiteral("struct type without fields"));
            }
            while (!atEnd() && m_text[m_position] != '}') {
                type->members.emplace_back();
                if (!parseOne(&type->members.back(), depth + 1))
                    return false;
            }
            if (atEnd())
                return failWith(QStringLiteral("struct type not closed"));
            ++m_position;
            return true;
        }
        case '(':
            return failWith(QStringLiteral("union types are not supported"));
        default:
            return failWith(QStringLiteral("unknown type code 0x%1").arg(quint8(c), 2, 16, QChar(u'0')));
        }
    }

    bool atEnd() const { return m_position >= m_text.size(); }
    QString error() const { return m_error; }

private:
    bool failWith(const QString &reason)
    {
        m_error = reason;
        return false;
    }

    QByteArrayView m_text;
    qint64 m_maximumTypes;
    qint64 m_types = 0;
    qsizetype m_position = 0;
    QString m_error;
};

} // namespace

bool TypedStreamType::parse(QByteArrayView text, std::vector<TypedStreamType> *types, QString *error,
                            qint64 maximumTypes)
{
    types->clear();
    if (text.isEmpty()) {
        *error = QStringLiteral("empty type string");
        return false;
    }
    TypeParser parser(text, maximumTypes);
    while (!parser.atEnd()) {
        types->emplace_back();
        if (!parser.parseOne(&types->back(), 1)) {
            *error = parser.error();
            return false;
        }
    }
    return true;
}

bool TypedStreamType::occupiesData() const
{
    switch (code) {
    case '!':
        return false;
    case '[':
        return count > 0 && members[0].occupiesData();
    case '{':
        for (const TypedStreamType &member : members) {
            if (member.occupiesData())
                return true;
        }
        return false;
    default:
        return true;
    }
}

qint64 TypedStreamType::removeEmpty(std::vector<TypedStreamType> *types)
{
    qint64 remaining = 0;
    std::vector<TypedStreamType> kept;
    for (TypedStreamType &type : *types) {
        const qint64 members =
                type.code == '{' || type.code == '[' ? removeEmpty(&type.members) : 0;
        // An array whose element type went holds nothing either.
        if ((type.code == '[' && type.members.empty()) || !type.occupiesData())
            continue;
        remaining += 1 + members;
        kept.push_back(std::move(type));
    }
    *types = std::move(kept);
    return remaining;
}
