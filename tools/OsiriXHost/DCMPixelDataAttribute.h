#pragma once

#include "DCMAttributeTag.h"
#include "DCMTransferSyntax.h"

#include <QByteArray>
#include <QList>

class DCMObject;

// The pixel data of an object under construction: a value representation,
// the declared length of all frames together, and the frames as added.
class DCMPixelDataAttribute
{
public:
    DCMPixelDataAttribute(const DCMAttributeTag &tag, const QString &vr, qint64 length,
        const DCMTransferSyntax &transferSyntax, DCMObject *object);

    void addFrame(const QByteArray &frame);

    DCMAttributeTag tag() const { return m_tag; }
    QString vr() const { return m_vr; }
    qint64 length() const { return m_length; }
    DCMTransferSyntax transferSyntax() const { return m_transferSyntax; }
    DCMObject *object() const { return m_object; }
    const QList<QByteArray> &frames() const { return m_frames; }
    qint64 framesLength() const;

private:
    DCMAttributeTag m_tag;
    QString m_vr;
    qint64 m_length;
    DCMTransferSyntax m_transferSyntax;
    DCMObject *m_object;
    QList<QByteArray> m_frames;
};
