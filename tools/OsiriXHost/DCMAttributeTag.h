#pragma once

#include <QString>

// A DICOM attribute tag with its dictionary name and value representation.
// Names are those of the DICOM dictionary; the older possessive spellings
// ("PatientsName", "SamplesperPixel") are accepted as well.
class DCMAttributeTag
{
public:
    // An invalid tag when the name is unknown.
    static DCMAttributeTag tagWithName(const QString &name);

    DCMAttributeTag() = default;
    DCMAttributeTag(quint16 group, quint16 element);

    bool isValid() const { return m_valid; }
    quint16 group() const { return m_group; }
    quint16 element() const { return m_element; }
    QString name() const;
    QString vr() const;
    // "(gggg,eeee)"
    QString description() const;

private:
    quint16 m_group = 0;
    quint16 m_element = 0;
    bool m_valid = false;
};
