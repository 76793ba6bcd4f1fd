#include "SecondaryCaptureWriter.h"

#include "AtomicFile.h"
#include "DCMAttributeTag.h"
#include "DCMCalendarDate.h"
#include "DCMObject.h"
#include "DCMPixelDataAttribute.h"
#include "DCMTransferSyntax.h"

#include <cstring>

namespace {
bool isGreyscale(const QImage &image)
{
    return image.format() == QImage::Format_Grayscale8
        || image.format() == QImage::Format_Grayscale16;
}

// The pixels as rows of samples without padding, read from the pixels
// themselves (R, G, B, or grey), never from the raw layout in memory.
QByteArray packedPixels(const QImage &image)
{
    const QImage samples = image.convertToFormat(
        isGreyscale(image) ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    const qsizetype rowLength = isGreyscale(image) ? samples.width() : 3 * samples.width();
    QByteArray packed(rowLength * samples.height(), Qt::Uninitialized);
    for (int y = 0; y < samples.height(); ++y)
        std::memcpy(packed.data() + y * rowLength, samples.constScanLine(y), size_t(rowLength));
    return packed;
}
} // namespace

SecondaryCaptureWriter::SecondaryCaptureWriter(const QImage &image, const QDateTime &captured)
    : m_image(image)
    , m_captured(captured)
{
}

std::unique_ptr<DCMObject> SecondaryCaptureWriter::dicomObject(QString *error) const
{
    const int width = m_image.width();
    const int height = m_image.height();
    if (m_image.isNull() || width > 0xffff || height > 0xffff) {
        if (error)
            *error = QStringLiteral("A picture of %1 × %2 pixels cannot be stored")
                         .arg(width)
                         .arg(height);
        return nullptr;
    }
    const int samples = isGreyscale(m_image) ? 1 : 3;
    std::unique_ptr<DCMObject> object
        = DCMObject::secondaryCaptureObjectWithBitDepth(8, samples, 1);
    if (!object) {
        if (error)
            *error = QStringLiteral("Cannot create a secondary-capture object");
        return nullptr;
    }

    bool ok = true;
    auto set = [&object, &ok](const char *name, const QVariant &value) {
        ok = object->setAttributeValues({ value }, QLatin1String(name)) && ok;
    };
    // The pixels are always packed sample by sample; a single sample has no
    // planar configuration.
    if (samples > 1)
        set("PlanarConfiguration", 0);
    if (m_patientsName)
        set("PatientsName", *m_patientsName);
    if (m_patientID)
        set("PatientID", *m_patientID);
    if (m_patientsBirthDate)
        set("PatientsBirthDate",
            QVariant::fromValue(
                DCMCalendarDate::dicomDateWithDate(m_patientsBirthDate->startOfDay())));
    if (m_studyDescription) {
        set("StudyDescription", *m_studyDescription);
        set("SeriesDescription", *m_studyDescription);
    }
    const QVariant date = QVariant::fromValue(DCMCalendarDate::dicomDateWithDate(m_captured));
    const QVariant time = QVariant::fromValue(DCMCalendarDate::dicomTimeWithDate(m_captured));
    set("StudyDate", date);
    set("StudyTime", time);
    set("SeriesDate", date);
    set("SeriesTime", time);
    set("Rows", height);
    set("Columns", width);
    set("SamplesperPixel", samples);
    set("PhotometricInterpretation",
        samples > 1 ? QStringLiteral("RGB") : QStringLiteral("MONOCHROME2"));
    set("PixelRepresentation", 0);
    set("HighBit", 7);
    set("BitsAllocated", 8);
    set("BitsStored", 8);

    DCMPixelDataAttribute pixelData(DCMAttributeTag::tagWithName(QStringLiteral("PixelData")),
        QStringLiteral("OB"), qint64(samples) * width * height,
        DCMTransferSyntax::ExplicitVRLittleEndianTransferSyntax(), object.get());
    pixelData.addFrame(packedPixels(m_image));
    ok = object->setAttribute(pixelData) && ok;
    if (!ok) {
        if (error)
            *error = QStringLiteral("Cannot set the attributes of the secondary-capture object");
        return nullptr;
    }
    return object;
}

QByteArray SecondaryCaptureWriter::data(QString *error) const
{
    const std::unique_ptr<DCMObject> object = dicomObject(error);
    return object ? object->dataWithTransferSyntax(
               DCMTransferSyntax::ExplicitVRLittleEndianTransferSyntax(), 0, error)
                  : QByteArray();
}

bool SecondaryCaptureWriter::writeToFile(const QString &path, QString *error) const
{
    const QByteArray bytes = data(error);
    return !bytes.isEmpty() && AtomicFile::write(path, bytes, error);
}
