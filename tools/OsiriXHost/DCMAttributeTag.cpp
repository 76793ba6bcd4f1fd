#include "DCMAttributeTag.h"

#include <QHash>

#include <dcmtk/dcmdata/dctag.h>

namespace {
// Names of attributes from before the dictionary dropped the possessive.
QString currentName(const QString &name)
{
    static const QHash<QString, QString> renamed {
        { QStringLiteral("PatientsName"), QStringLiteral("PatientName") },
        { QStringLiteral("PatientsBirthDate"), QStringLiteral("PatientBirthDate") },
        { QStringLiteral("PatientsSex"), QStringLiteral("PatientSex") },
        { QStringLiteral("PatientsAge"), QStringLiteral("PatientAge") },
        { QStringLiteral("ReferringPhysiciansName"), QStringLiteral("ReferringPhysicianName") },
        { QStringLiteral("SamplesperPixel"), QStringLiteral("SamplesPerPixel") },
    };
    return renamed.value(name, name);
}
} // namespace

DCMAttributeTag::DCMAttributeTag(quint16 group, quint16 element)
    : m_group(group)
    , m_element(element)
    , m_valid(true)
{
}

DCMAttributeTag DCMAttributeTag::tagWithName(const QString &name)
{
    DcmTag tag;
    if (name.isEmpty()
        || DcmTag::findTagFromName(currentName(name).toLatin1().constData(), tag).bad())
        return {};
    return DCMAttributeTag(tag.getGroup(), tag.getElement());
}

QString DCMAttributeTag::name() const
{
    if (!m_valid)
        return {};
    DcmTag tag(m_group, m_element);
    return QString::fromLatin1(tag.getTagName());
}

QString DCMAttributeTag::vr() const
{
    if (!m_valid)
        return {};
    DcmTag tag(m_group, m_element);
    return QString::fromLatin1(tag.getVRName());
}

QString DCMAttributeTag::description() const
{
    return QStringLiteral("(%1,%2)")
        .arg(m_group, 4, 16, QLatin1Char('0'))
        .arg(m_element, 4, 16, QLatin1Char('0'));
}
