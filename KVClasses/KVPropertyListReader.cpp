#include "KVPropertyListReader.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QXmlStreamReader>

namespace {
class Parser
{
public:
    explicit Parser(const QString &text)
        : m_xml(text)
    {
    }

    QVariant parseDocument()
    {
        if (!nextElement() || m_xml.tokenType() != QXmlStreamReader::StartElement)
            return fail(QStringLiteral("no root element"));
        QVariant root;
        if (m_xml.name() == u"plist") {
            if (!nextElement() || m_xml.tokenType() != QXmlStreamReader::StartElement)
                return fail(QStringLiteral("empty plist element"));
            root = parseValue(1);
            if (!root.isValid())
                return {};
            if (!nextElement() || m_xml.tokenType() != QXmlStreamReader::EndElement)
                return fail(QStringLiteral("more than one value in the plist element"));
        } else {
            root = parseValue(1);
            if (!root.isValid())
                return {};
        }
        if (nextElement() || m_xml.tokenType() != QXmlStreamReader::EndDocument)
            return fail(QStringLiteral("content after the root element"));
        return root;
    }

    QString errorString() const { return m_error; }

private:
    QVariant fail(const QString &reason)
    {
        if (m_error.isEmpty()) {
            m_error = m_xml.hasError() ? m_xml.errorString() : reason;
            m_error += QStringLiteral(" (line %1)").arg(m_xml.lineNumber());
        }
        return {};
    }

    // Moves to the next start or end element, passing over the prologue,
    // comments, processing instructions and white space. False at the end
    // of the document or on anything else.
    bool nextElement()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
            case QXmlStreamReader::EndElement:
                return true;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace()) {
                    fail(QStringLiteral("text outside a value"));
                    return false;
                }
                break;
            case QXmlStreamReader::DTD:
                // A property list's DOCTYPE names an external DTD, which is
                // never fetched. Declared entities would only serve to
                // expand input; no property list has them.
                if (!m_xml.entityDeclarations().isEmpty()
                    || !m_xml.notationDeclarations().isEmpty()) {
                    fail(QStringLiteral("declarations in the DOCTYPE"));
                    return false;
                }
                break;
            case QXmlStreamReader::EntityReference:
                fail(QStringLiteral("undeclared entity"));
                return false;
            case QXmlStreamReader::Invalid:
                fail({});
                return false;
            default:
                break;
            }
        }
        if (m_xml.hasError())
            fail({});
        return false;
    }

    bool readText(QString *text)
    {
        *text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError()) {
            fail({});
            return false;
        }
        return true;
    }

    // The value whose start element is the current token; its end element
    // is the current token afterwards.
    QVariant parseValue(int depth)
    {
        if (depth > KVPropertyListReader::maximumDepth)
            return fail(QStringLiteral("nesting deeper than %1").arg(KVPropertyListReader::maximumDepth));
        const QString name = m_xml.name().toString();
        if (name == u"dict")
            return parseDictionary(depth);
        if (name == u"array")
            return parseArray(depth);

        QString text;
        if (!readText(&text))
            return {};
        if (name == u"string")
            return text;
        if (name == u"true" || name == u"false") {
            if (!text.trimmed().isEmpty())
                return fail(QStringLiteral("text in a boolean"));
            return name == u"true";
        }
        if (name == u"integer") {
            bool ok = false;
            const qlonglong value = text.trimmed().toLongLong(&ok);
            if (ok)
                return value;
            const qulonglong unsignedValue = text.trimmed().toULongLong(&ok);
            if (ok)
                return unsignedValue;
            return fail(QStringLiteral("bad integer"));
        }
        if (name == u"real") {
            bool ok = false;
            const double value = text.trimmed().toDouble(&ok);
            return ok ? QVariant(value) : fail(QStringLiteral("bad real"));
        }
        if (name == u"date") {
            const QDateTime value = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            return value.isValid() ? QVariant(value.toUTC()) : fail(QStringLiteral("bad date"));
        }
        if (name == u"data") {
            QByteArray base64 = text.toLatin1();
            base64.removeIf([](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
            const auto decoded = QByteArray::fromBase64Encoding(
                    base64, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            return decoded ? QVariant(*decoded) : fail(QStringLiteral("bad data"));
        }
        return fail(QStringLiteral("unknown element \"%1\"").arg(name));
    }

    QVariant parseDictionary(int depth)
    {
        QVariantMap dictionary;
        while (nextElement()) {
            if (m_xml.tokenType() == QXmlStreamReader::EndElement)
                return dictionary;
            if (m_xml.name() != u"key")
                return fail(QStringLiteral("a dict value without a key"));
            QString key;
            if (!readText(&key))
                return {};
            if (!nextElement() || m_xml.tokenType() != QXmlStreamReader::StartElement)
                return fail(QStringLiteral("a dict key without a value"));
            const QVariant value = parseValue(depth + 1);
            if (!value.isValid())
                return {};
            dictionary.insert(key, value);
        }
        return fail(QStringLiteral("unterminated dict"));
    }

    QVariant parseArray(int depth)
    {
        QVariantList array;
        while (nextElement()) {
            if (m_xml.tokenType() == QXmlStreamReader::EndElement)
                return array;
            const QVariant value = parseValue(depth + 1);
            if (!value.isValid())
                return {};
            array.append(value);
        }
        return fail(QStringLiteral("unterminated array"));
    }

    QXmlStreamReader m_xml;
    QString m_error;
};
} // namespace

QVariant KVPropertyListReader::propertyListFromData(const QByteArray &data, QString *errorString)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(data);
    QString error;
    QVariant result;
    if (data.isEmpty()) {
        error = QStringLiteral("empty");
    } else if (decoder.hasError()) {
        error = QStringLiteral("not UTF-8 text");
    } else {
        Parser parser(text);
        result = parser.parseDocument();
        error = parser.errorString();
    }
    if (errorString)
        *errorString = result.isValid() ? QString() : error;
    return result;
}
