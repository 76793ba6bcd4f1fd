#include "PrintableText.h"

#include <unicode/utf8.h>

namespace {

bool isPrintable(char32_t codePoint)
{
    // Line and paragraph separators count as printable to Qt but end a line.
    const QChar::Category category = QChar::category(codePoint);
    return QChar::isPrint(codePoint) && category != QChar::Separator_Line
            && category != QChar::Separator_Paragraph;
}

void appendEscape(QString *text, char32_t value)
{
    if (value <= 0xff)
        *text += QStringLiteral("\\x%1").arg(uint(value), 2, 16, QChar(u'0'));
    else if (value <= 0xffff)
        *text += QStringLiteral("\\u%1").arg(uint(value), 4, 16, QChar(u'0'));
    else
        *text += QStringLiteral("\\U%1").arg(uint(value), 8, 16, QChar(u'0'));
}

} // namespace

QString PrintableText::fromUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.data());
    const qsizetype length = bytes.size();
    QString text;
    text.reserve(length);
    for (qsizetype i = 0; i < length;) {
        const qsizetype start = i;
        UChar32 codePoint = 0;
        U8_NEXT(data, i, length, codePoint);
        if (codePoint < 0) {
            // Each byte of a broken sequence on its own, as the file has it.
            for (qsizetype j = start; j < i; ++j)
                appendEscape(&text, data[j]);
        } else if (codePoint == u'\\') {
            text += QStringLiteral("\\\\");
        } else if (isPrintable(char32_t(codePoint))) {
            text += QChar::fromUcs4(char32_t(codePoint));
        } else {
            appendEscape(&text, char32_t(codePoint));
        }
    }
    return text;
}

QString PrintableText::escaped(QStringView text)
{
    return fromUtf8(text.toUtf8());
}
