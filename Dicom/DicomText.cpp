#include "DicomText.h"

#include <QStringList>

namespace {
constexpr qsizetype maximumComponents = 5;
constexpr qsizetype maximumGroups = 3;

qsizetype maximumBytes(DicomText::VR vr)
{
    switch (vr) {
    case DicomText::VR::SH:
        return 16;
    case DicomText::VR::LO:
    case DicomText::VR::PN:
        return 64;
    }
    return 64;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

QString withoutControls(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\\')
            clean.append(u'/');
        else if (!isControl(c))
            clean.append(QString::fromUcs4(&c, 1));
    }
    return clean;
}

// The longest start of the text whose UTF-8 form fits in `limit` bytes.
QString cutToBytes(const QString &text, qsizetype limit)
{
    qsizetype bytes = 0;
    QString cut;
    for (const char32_t c : text.toUcs4()) {
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes > limit)
            break;
        cut.append(QString::fromUcs4(&c, 1));
    }
    return cut;
}

QString withoutTrailing(QString text, QChar separator)
{
    while (text.endsWith(separator))
        text.chop(1);
    return text;
}

// Everything from `count - 1` on joins the last kept part, with spaces.
QStringList atMost(QStringList parts, qsizetype count)
{
    if (parts.size() > count) {
        parts[count - 1] = parts.mid(count - 1).join(u' ');
        parts.resize(count);
    }
    return parts;
}

QString cleanedPersonName(const QString &name)
{
    QStringList groups = atMost(name.split(u'='), maximumGroups);
    for (QString &group : groups) {
        QStringList components = atMost(group.split(u'^'), maximumComponents);
        for (QString &component : components)
            component = component.trimmed();
        group = withoutTrailing(
                cutToBytes(withoutTrailing(components.join(u'^'), u'^'), maximumBytes(DicomText::VR::PN)),
                u'^');
        group = withoutTrailing(group.trimmed(), u'^');
    }
    return withoutTrailing(groups.join(u'='), u'=');
}
} // namespace

namespace DicomText {

QString cleaned(const QString &text, VR vr)
{
    const QString clean = withoutControls(text);
    if (vr == VR::PN)
        return cleanedPersonName(clean);
    return cutToBytes(clean.trimmed(), maximumBytes(vr)).trimmed();
}

bool needsUnicode(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return true;
    }
    return false;
}

} // namespace DicomText
