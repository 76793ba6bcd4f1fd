#include "SecondaryCaptureWriter.h"

#include "DicomBytes.h"
#include "DicomText.h"
#include "DicomUid.h"


#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcuid.h>

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

QByteArray dicomDate(const QDate &date)
{
    return date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

QByteArray dicomTime(const QTime &time)
{
    return time.toString(QStringLiteral("HHmmss")).toLatin1();
}
} // namespace

SecondaryCaptureWriter::SecondaryCaptureWriter(const QImage &image, const QDateTime &captured)
    : m_image(image)
    , m_captured(captured)
{
}

SecondaryCaptureWriter::~SecondaryCaptureWriter() = default;

std::unique_ptr<DcmFileFormat> SecondaryCaptureWriter::dicomFile(QString *error) const
{
    const int width = m_image.width();
    const int height = m_image.height();
    if (m_image.isNull() || width > 0xffff || height > 0xffff) {
        if (error)
            *error = QStringLiteral("A picture of %1 × %2 pixels cannot be stored")
                         .arg(QString::number(width), QString::number(height));
        return nullptr;
    }
    const bool grey = isGreyscale(m_image);
    const QString description = DicomText::cleaned(m_description, DicomText::VR::LO);
    const bool known = m_patientStudy.study().isKnown();
    const int seriesNumber = m_seriesNumber.value_or(
        known ? m_captured.toString(QStringLiteral("MMddHHmm")).toInt() : 1);

    auto file = std::make_unique<DcmFileFormat>();
    DcmDataset &dataset = *file->getDataset();
    OFCondition status = m_patientStudy.write(dataset, m_captured);
    auto put = [&dataset, &status](const DcmTagKey &key, const QByteArray &value) {
        if (status.good())
            status = dataset.putAndInsertString(key, value.constData());
    };
    auto putText = [&put](const DcmTagKey &key, const QString &value) { put(key, value.toUtf8()); };

    put(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    put(DCM_SOPInstanceUID, DicomUid::generate());
    put(DCM_SeriesInstanceUID, DicomUid::generate());

    put(DCM_Modality, "OT");
    put(DCM_SeriesNumber, QByteArray::number(seriesNumber));
    put(DCM_SeriesDate, dicomDate(m_captured.date()));
    put(DCM_SeriesTime, dicomTime(m_captured.time()));
    if (!description.isEmpty())
        putText(DCM_SeriesDescription, description);

    put(DCM_ConversionType, "WSD");
    put(DCM_InstanceNumber, QByteArray::number(m_instanceNumber));
    put(DCM_ContentDate, dicomDate(m_captured.date()));
    put(DCM_ContentTime, dicomTime(m_captured.time()));
    put(DCM_PatientOrientation, "");
    // A chart shows no paired body part: the image says so, and the series
    // then needs no Laterality (absent rather than empty).
    put(DCM_ImageLaterality, "U");
    // A capture of a chart carries its text in the pixels.
    put(DCM_BurnedInAnnotation, "YES");

    put(DCM_SamplesPerPixel, grey ? "1" : "3");
    put(DCM_PhotometricInterpretation, grey ? "MONOCHROME2" : "RGB");
    // The pixels are always packed sample by sample; a single sample has no
    // planar configuration.
    if (!grey)
        put(DCM_PlanarConfiguration, "0");
    put(DCM_Rows, QByteArray::number(height));
    put(DCM_Columns, QByteArray::number(width));
    put(DCM_BitsAllocated, "8");
    put(DCM_BitsStored, "8");
    put(DCM_HighBit, "7");
    put(DCM_PixelRepresentation, "0");
    if (status.good()) {
        const QByteArray pixels = packedPixels(m_image);
        status = dataset.putAndInsertUint8Array(DCM_PixelData,
            reinterpret_cast<const Uint8 *>(pixels.constData()), Uint32(pixels.size()));
    }
    if (status.bad()) {
        if (error)
            *error = QStringLiteral("Cannot build the secondary-capture image: %1")
                         .arg(QString::fromLatin1(status.text()));
        return nullptr;
    }
    return file;
}

QByteArray SecondaryCaptureWriter::data(QString *error) const
{
    const std::unique_ptr<DcmFileFormat> file = dicomFile(error);
    return file ? DicomBytes::write(*file, error) : QByteArray();
}

