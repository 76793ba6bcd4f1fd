#include "DCMObject.h"

#include "DCMAttributeTag.h"
#include "DCMCalendarDate.h"
#include "DCMPixelDataAttribute.h"
#include "DCMTransferSyntax.h"
#include "OsiriXLogging.h"

#include <QDate>
#include <QFile>
#include <QSaveFile>
#include <QTime>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcxfer.h>

struct DCMObject::Private
{
    DcmFileFormat file;

    DcmDataset &dataset() { return *file.getDataset(); }
    bool put(const DcmTagKey &key, const QByteArray &value)
    {
        const OFCondition status = dataset().putAndInsertString(key, value.constData());
        if (status.bad())
            qCWarning(lcOsiriX, "Cannot set %s to \"%s\": %s", DcmTag(key).getTagName(),
                value.constData(), status.text());
        return status.good();
    }
};

namespace {
QByteArray newUID()
{
    char uid[100];
    return QByteArray(dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT));
}

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return false;
    }
    return true;
}

// The DICOM text of one value; null when the value has no DICOM form.
QByteArray valueText(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<DCMCalendarDate>())
        return value.value<DCMCalendarDate>().dateString().toLatin1();
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().toUtf8();
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyyMMdd")).toLatin1();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return QByteArray::number(value.toLongLong());
    case QMetaType::Double:
        return QByteArray::number(value.toDouble(), 'g', 16);
    default:
        return {};
    }
}

QTime timeFromDicom(const QString &text)
{
    const QString digits = text.section(u'.', 0, 0).remove(u':');
    if (digits.size() >= 6)
        return QTime::fromString(digits.left(6), QStringLiteral("HHmmss"));
    if (digits.size() >= 4)
        return QTime::fromString(digits.left(4), QStringLiteral("HHmm"));
    return QTime::fromString(digits, QStringLiteral("HH"));
}
} // namespace

DCMObject::DCMObject()
    : d(std::make_unique<Private>())
{
}

DCMObject::~DCMObject() = default;

std::unique_ptr<DCMObject> DCMObject::secondaryCaptureObjectWithBitDepth(
    int depth, int samplesPerPixel, int numberOfFrames)
{
    std::unique_ptr<DCMObject> object(new DCMObject);
    Private &p = *object->d;
    bool ok = p.put(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage)
        && p.put(DCM_SOPInstanceUID, newUID()) && p.put(DCM_StudyInstanceUID, newUID())
        && p.put(DCM_SeriesInstanceUID, newUID()) && p.put(DCM_Modality, "OT")
        && p.put(DCM_ConversionType, "WSD")
        // A capture of a screen or chart carries its text in the pixels.
        && p.put(DCM_BurnedInAnnotation, "YES")
        && p.put(DCM_SamplesPerPixel, QByteArray::number(samplesPerPixel))
        && p.put(DCM_PhotometricInterpretation, samplesPerPixel > 1 ? "RGB" : "MONOCHROME2")
        && p.put(DCM_BitsAllocated, QByteArray::number(depth))
        && p.put(DCM_BitsStored, QByteArray::number(depth))
        && p.put(DCM_HighBit, QByteArray::number(depth - 1)) && p.put(DCM_PixelRepresentation, "0");
    if (samplesPerPixel > 1)
        ok = ok && p.put(DCM_PlanarConfiguration, "0");
    if (numberOfFrames > 1)
        ok = ok && p.put(DCM_NumberOfFrames, QByteArray::number(numberOfFrames));
    // Type 2: present, empty until the caller knows better.
    for (const DcmTagKey &key :
        { DCM_PatientName, DCM_PatientID, DCM_PatientBirthDate, DCM_PatientSex, DCM_StudyDate,
            DCM_StudyTime, DCM_ReferringPhysicianName, DCM_StudyID, DCM_AccessionNumber,
            DCM_Laterality, DCM_SeriesNumber, DCM_InstanceNumber, DCM_PatientOrientation })
        ok = ok && p.put(key, QByteArray());
    return ok ? std::move(object) : nullptr;
}

std::unique_ptr<DCMObject> DCMObject::objectWithContentsOfFile(const QString &path, QString *error)
{
    std::unique_ptr<DCMObject> object(new DCMObject);
    OFCondition status = object->d->file.loadFile(OFFilename(QFile::encodeName(path).constData()));
    if (status.good() && object->d->file.getMetaInfo()->isEmpty() && object->d->dataset().isEmpty())
        status = EC_InvalidStream;
    if (status.bad()) {
        if (error)
            *error = QString::fromLatin1(status.text());
        return nullptr;
    }
    // Text is kept as UTF-8 whatever the file's character set.
    const OFCondition converted = object->d->dataset().convertToUTF8();
    if (converted.bad())
        qCWarning(lcOsiriX, "%s: text left in its own character set: %s", qPrintable(path),
            converted.text());
    return object;
}

bool DCMObject::setAttributeValues(const QVariantList &values, const QString &name)
{
    const DCMAttributeTag tag = DCMAttributeTag::tagWithName(name);
    if (!tag.isValid()) {
        qCWarning(lcOsiriX, "Unknown attribute \"%s\"", qPrintable(name));
        return false;
    }
    // Elsewhere the backslash separates values: one inside a value would
    // silently turn it into two.
    const bool backslashAllowed
        = QStringList { QStringLiteral("LT"), QStringLiteral("ST"), QStringLiteral("UT") }.contains(
            tag.vr());
    QByteArrayList texts;
    bool needsUnicode = false;
    for (const QVariant &value : values) {
        const QByteArray text = valueText(value);
        if (text.isNull()) {
            qCWarning(lcOsiriX, "%s: a value of type %s has no DICOM form", qPrintable(name),
                value.typeName());
            return false;
        }
        if (!backslashAllowed && text.contains('\\')) {
            qCWarning(lcOsiriX, "%s: \"%s\" holds a backslash", qPrintable(name), text.constData());
            return false;
        }
        needsUnicode |= value.typeId() == QMetaType::QString && !isAscii(value.toString());
        texts.append(text);
    }
    if (needsUnicode && !d->put(DCM_SpecificCharacterSet, "ISO_IR 192"))
        return false;
    return d->put(DcmTagKey(tag.group(), tag.element()), texts.join('\\'));
}

bool DCMObject::setAttribute(const DCMPixelDataAttribute &attribute)
{
    if (attribute.framesLength() != attribute.length()) {
        qCWarning(lcOsiriX, "Pixel data of %lld bytes declared, %lld given: not attached",
            attribute.length(), attribute.framesLength());
        return false;
    }
    QByteArray pixels;
    pixels.reserve(attribute.length());
    for (const QByteArray &frame : attribute.frames())
        pixels.append(frame);
    const DCMAttributeTag tag = attribute.tag();
    const DcmTag key(tag.group(), tag.element(), DcmVR(attribute.vr().toLatin1().constData()));
    auto element = std::make_unique<DcmPixelData>(key);
    OFCondition status = element->putUint8Array(
        reinterpret_cast<const Uint8 *>(pixels.constData()), Uint32(pixels.size()));
    if (status.good())
        status = d->dataset().insert(element.get(), true);
    if (status.bad()) {
        qCWarning(lcOsiriX, "Cannot attach pixel data: %s", status.text());
        return false;
    }
    element.release();
    return true;
}

QVariant DCMObject::attributeValueWithName(const QString &name) const
{
    const DCMAttributeTag tag = DCMAttributeTag::tagWithName(name);
    DcmElement *element = nullptr;
    if (!tag.isValid()
        || d->dataset().findAndGetElement(DcmTagKey(tag.group(), tag.element()), element).bad()
        || !element)
        return {};
    OFString value;
    if (element->getOFString(value, 0).bad())
        return {};
    const QString text = QString::fromUtf8(value.c_str()).trimmed();
    if (text.isEmpty())
        return {};
    switch (element->ident()) {
    case EVR_DA: {
        const QDate date
            = QDate::fromString(QString(text).remove(u'.'), QStringLiteral("yyyyMMdd"));
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case EVR_TM: {
        const QTime time = timeFromDicom(text);
        return time.isValid() ? QVariant(time) : QVariant();
    }
    case EVR_IS:
    case EVR_US:
    case EVR_UL:
    case EVR_SS:
    case EVR_SL:
        return QVariant(text.toLongLong());
    default:
        return text;
    }
}

QByteArray DCMObject::dataWithTransferSyntax(const DCMTransferSyntax &syntax, int, QString *error)
{
    const E_TransferSyntax xfer = DcmXfer(syntax.transferSyntax().toLatin1().constData()).getXfer();
    DcmFileFormat &file = d->file;
    OFCondition status = xfer == EXS_Unknown
        ? EC_UnknownVR
        : file.getDataset()->chooseRepresentation(xfer, nullptr);
    QByteArray data;
    if (status.good()) {
        char chunk[65536];
        DcmOutputBufferStream stream(chunk, sizeof chunk);
        file.transferInit();
        do {
            status = file.write(stream, xfer, EET_ExplicitLength, nullptr);
            void *buffer = nullptr;
            offile_off_t length = 0;
            stream.flushBuffer(buffer, length);
            data.append(static_cast<const char *>(buffer), qsizetype(length));
        } while (status == EC_StreamNotifyClient);
        file.transferEnd();
    }
    if (status.bad()) {
        if (error)
            *error = QString::fromLatin1(status.text());
        return {};
    }
    return data;
}

bool DCMObject::writeToFile(const QString &path, const DCMTransferSyntax &syntax, int quality,
    bool atomically, QString *error)
{
    QString reason;
    const QByteArray data = dataWithTransferSyntax(syntax, quality, &reason);
    if (!data.isEmpty()) {
        if (atomically) {
            QSaveFile file(path);
            if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit())
                return true;
            reason = file.errorString();
        } else {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size())
                return true;
            reason = file.errorString();
        }
    }
    if (error)
        *error = reason;
    return false;
}
