#include "DCMPixelDataAttribute.h"

DCMPixelDataAttribute::DCMPixelDataAttribute(const DCMAttributeTag &tag, const QString &vr,
    qint64 length, const DCMTransferSyntax &transferSyntax, DCMObject *object)
    : m_tag(tag)
    , m_vr(vr)
    , m_length(length)
    , m_transferSyntax(transferSyntax)
    , m_object(object)
{
}

void DCMPixelDataAttribute::addFrame(const QByteArray &frame)
{
    m_frames.append(frame);
}

qint64 DCMPixelDataAttribute::framesLength() const
{
    qint64 total = 0;
    for (const QByteArray &frame : m_frames)
        total += frame.size();
    return total;
}
