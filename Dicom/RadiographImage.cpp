#include "RadiographImage.h"

#include "Jpeg2000Decoder.h"

#include <dcmtk/dcmdata/dccodec.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmdata/dcxfer.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/dcmimgle/dipixel.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Every decoder DCMTK has, once per process; the toolkit's own warnings
// would only repeat, on stderr, what the reason says.
void registerDecoders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        DcmRLEDecoderRegistration::registerCodecs();
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        for (const char *logger : { "dcmtk.dcmdata", "dcmtk.dcmimgle", "dcmtk.dcmimage",
                                    "dcmtk.dcmjpeg", "dcmtk.dcmjpls" })
            OFLog::getLogger(logger).setLogLevel(OFLogger::OFF_LOG_LEVEL);
    });
}

QString text(DcmDataset &dataset, const DcmTagKey &tag)
{
    OFString value;
    dataset.findAndGetOFStringArray(tag, value);
    return QString::fromUtf8(value.c_str());
}

// DA, and the dotted form of older files.
QDate date(DcmDataset &dataset, const DcmTagKey &tag)
{
    QString value = text(dataset, tag).trimmed();
    value.remove(u'.');
    return QDate::fromString(value, QStringLiteral("yyyyMMdd"));
}

QTime time(DcmDataset &dataset, const DcmTagKey &tag)
{
    const QString value = text(dataset, tag).trimmed().section(u'.', 0, 0);
    for (const QString &format : { QStringLiteral("HHmmss"), QStringLiteral("HHmm"), QStringLiteral("HH") }) {
        const QTime time = QTime::fromString(value, format);
        if (time.isValid())
            return time;
    }
    return QTime();
}

RadiographImage::Patient patientOf(DcmDataset &dataset)
{
    RadiographImage::Patient patient;
    patient.id = text(dataset, DCM_PatientID);
    // The alphabetic form; ideographic and phonetic ones follow a "=".
    patient.name = text(dataset, DCM_PatientName).section(u'=', 0, 0).trimmed();
    patient.birthDate = date(dataset, DCM_PatientBirthDate);
    const QString sex = text(dataset, DCM_PatientSex).trimmed().toUpper();
    if (sex == u"M" || sex == u"F" || sex == u"O")
        patient.sex = sex;
    return patient;
}

DicomStudy studyOf(DcmDataset &dataset)
{
    DicomStudy study;
    study.studyInstanceUID = text(dataset, DCM_StudyInstanceUID).trimmed();
    study.accessionNumber = text(dataset, DCM_AccessionNumber).trimmed();
    study.studyID = text(dataset, DCM_StudyID).trimmed();
    const QDate day = date(dataset, DCM_StudyDate);
    if (day.isValid())
        study.studyDateTime = QDateTime(day, time(dataset, DCM_StudyTime));
    return study;
}

QDate examinationDateOf(DcmDataset &dataset)
{
    for (const DcmTagKey &tag : { DCM_StudyDate, DCM_AcquisitionDate, DCM_ContentDate }) {
        const QDate day = date(dataset, tag);
        if (day.isValid())
            return day;
    }
    return QDate();
}

template<typename T>
void copyValues(const T *in, qint64 count, double offset, double scale, quint16 *out)
{
    for (qint64 i = 0; i < count; ++i)
        out[i] = quint16(std::lround((double(in[i]) - offset) * scale));
}

template<typename T>
void copyValues(const T *in, qint64 count, double offset, quint16 *out)
{
    const auto shift = qint64(offset);
    for (qint64 i = 0; i < count; ++i)
        out[i] = quint16(qint64(in[i]) - shift);
}

// The modality values as 16-bit values from 0, with the offset and scale
// that map a value of the file's units into them.
struct Mapping
{
    double offset = 0.0;
    double scale = 1.0;

    double toValues(double value) const { return (value - offset) * scale; }
};

Mapping mappingOf(DicomImage &image)
{
    double lowest = 0.0;
    double highest = 0.0;
    // The range the file's values can take, else the range they do take;
    // only a range wider than 16 bits is scaled.
    image.getMinMaxValues(lowest, highest, 1);
    if (highest - lowest > 65535.0)
        image.getMinMaxValues(lowest, highest, 0);
    Mapping mapping;
    mapping.offset = std::floor(lowest);
    if (highest - mapping.offset > 65535.0)
        mapping.scale = 65535.0 / (highest - mapping.offset);
    return mapping;
}

bool copyInto(const DiPixel &pixels, qint64 count, const Mapping &mapping, quint16 *out)
{
    const void *data = pixels.getData();
    if (!data || qint64(pixels.getCount()) < count)
        return false;
    const double o = mapping.offset;
    const bool whole = mapping.scale == 1.0;
    switch (pixels.getRepresentation()) {
#define MATURIX_COPY(representation, type)                                                          \
    case representation:                                                                            \
        whole ? copyValues(static_cast<const type *>(data), count, o, out)                          \
              : copyValues(static_cast<const type *>(data), count, o, mapping.scale, out);          \
        return true;
        MATURIX_COPY(EPR_Uint8, Uint8)
        MATURIX_COPY(EPR_Sint8, Sint8)
        MATURIX_COPY(EPR_Uint16, Uint16)
        MATURIX_COPY(EPR_Sint16, Sint16)
        MATURIX_COPY(EPR_Uint32, Uint32)
        MATURIX_COPY(EPR_Sint32, Sint32)
#undef MATURIX_COPY
    }
    return false;
}

// The 8-bit output DCMTK computes through the file's VOI LUT.
QImage voiLutView(DicomImage &image, const QSize &size)
{
    if (!image.setVoiLut(0))
        return QImage();
    const auto *data = static_cast<const uchar *>(image.getOutputData(8, 0, 0));
    if (!data)
        return QImage();
    QImage view(size, QImage::Format_Grayscale8);
    if (view.isNull())
        return view;
    for (int y = 0; y < size.height(); ++y)
        std::copy_n(data + qsizetype(y) * size.width(), size.width(), view.scanLine(y));
    image.deleteOutputData();
    return view;
}

// The "DICM" after the preamble of a DICOM file.
bool hasDicomPrefix(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(132).mid(128) == "DICM";
}

QString sizeText(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

} // namespace

std::optional<RadiographImage> RadiographImage::read(const QString &path, QString *error)
{
    QString ignored;
    QString &reason = error ? *error : ignored;
    const QFileInfo info(path);
    if (!info.exists()) {
        reason = QStringLiteral("no such file");
        return std::nullopt;
    }
    // Before a byte is read: a device or a pipe could block for ever.
    if (!info.isFile()) {
        reason = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    if (info.size() > maximumFileSize) {
        reason = QStringLiteral("larger than %1, too large for a radiograph").arg(sizeText(maximumFileSize));
        return std::nullopt;
    }
    if (QFile file(path); !file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return std::nullopt;
    }

    registerDecoders();
    DcmFileFormat file;
    // Only files with a DICOM meta header: anything else read as a bare
    // dataset would "succeed" on any bytes.
    const OFCondition loaded = file.loadFile(OFFilename(QFile::encodeName(path).constData()), EXS_Unknown,
                                             EGL_noChange, DCM_MaxReadLength, ERM_fileOnly);
    DcmDataset &dataset = *file.getDataset();
    if (loaded.bad()) {
        reason = hasDicomPrefix(path)
                ? QStringLiteral("a damaged DICOM file (%1)").arg(QString::fromLatin1(loaded.text()))
                : QStringLiteral("not a DICOM file");
        return std::nullopt;
    }
    // Names in any character set come as UTF-8; where the toolkit cannot
    // convert, the bytes are read as UTF-8 all the same.
    dataset.convertToUTF8();

    RadiographImage radiograph;
    radiograph.m_patient = patientOf(dataset);
    radiograph.m_study = studyOf(dataset);
    radiograph.m_examinationDate = examinationDateOf(dataset);

    if (!dataset.tagExistsWithValue(DCM_PixelData)) {
        reason = QStringLiteral("a DICOM file without an image (no pixel data)");
        return std::nullopt;
    }
    Uint16 rows = 0;
    Uint16 columns = 0;
    dataset.findAndGetUint16(DCM_Rows, rows);
    dataset.findAndGetUint16(DCM_Columns, columns);
    long frames = 1;
    dataset.findAndGetLongInt(DCM_NumberOfFrames, frames);
    if (rows == 0 || columns == 0) {
        reason = QStringLiteral("a DICOM image without rows or columns");
        return std::nullopt;
    }
    if (qint64(rows) * columns * std::max(frames, 1L) > maximumPixels) {
        reason = QStringLiteral("an image of %1 x %2 pixels%3, too large for a radiograph")
                         .arg(columns)
                         .arg(rows)
                         .arg(frames > 1 ? QStringLiteral(" in %1 frames").arg(frames) : QString());
        return std::nullopt;
    }
    // Checked before decoding: colour needs no decoder to be refused.
    const QString photometric = text(dataset, DCM_PhotometricInterpretation).trimmed();
    if (photometric.isEmpty()) {
        reason = QStringLiteral("a DICOM image without a photometric interpretation");
        return std::nullopt;
    }
    if (photometric != u"MONOCHROME1" && photometric != u"MONOCHROME2") {
        reason = QStringLiteral("a colour image (%1); a radiograph is greyscale").arg(photometric);
        return std::nullopt;
    }
    const DcmXfer syntax(dataset.getOriginalXfer());
    if (syntax.isEncapsulated() && !Jpeg2000Decoder::isJpeg2000(dataset)
        && !DcmCodecList::canChangeCoding(dataset.getOriginalXfer(), EXS_LittleEndianExplicit)) {
        reason = QStringLiteral("compressed as %1, which Maturix cannot decode")
                         .arg(QString::fromLatin1(syntax.getXferName()));
        return std::nullopt;
    }
    E_TransferSyntax decodedSyntax = dataset.getOriginalXfer();
    if (Jpeg2000Decoder::isJpeg2000(dataset)) {
        QString why;
        if (!Jpeg2000Decoder::decodeFirstFrame(dataset, maximumPixels, &why)) {
            reason = QStringLiteral("the image cannot be decoded (%1)").arg(why);
            return std::nullopt;
        }
        decodedSyntax = EXS_LittleEndianExplicit;
    }

    DicomImage image(&dataset, decodedSyntax, CIF_MayDetachPixelData, 0, 1);
    if (image.getStatus() != EIS_Normal) {
        const QString why = QString::fromLatin1(DicomImage::getString(image.getStatus()));
        reason = syntax.isEncapsulated()
                ? QStringLiteral("the image cannot be decoded (%1, %2)").arg(QString::fromLatin1(syntax.getXferName()), why)
                : QStringLiteral("the image cannot be read (%1)").arg(why);
        return std::nullopt;
    }
    const QSize size(int(image.getWidth()), int(image.getHeight()));
    const DiPixel *pixels = image.getInterData();
    const Mapping mapping = mappingOf(image);
    QImage values(size, QImage::Format_Grayscale16);
    if (values.isNull() || values.bytesPerLine() != size.width() * 2) {
        reason = QStringLiteral("not enough memory for an image of %1 x %2 pixels").arg(size.width()).arg(size.height());
        return std::nullopt;
    }
    if (!pixels || !copyInto(*pixels, qint64(size.width()) * size.height(), mapping,
                             reinterpret_cast<quint16 *>(values.bits()))) {
        reason = QStringLiteral("the image cannot be read (its pixel data is incomplete)");
        return std::nullopt;
    }
    radiograph.m_values = values;
    radiograph.m_offset = mapping.offset;
    radiograph.m_scale = mapping.scale;

    RadiographWindow &window = radiograph.m_initialWindow;
    window.inverted = image.getPhotometricInterpretation() == EPI_Monochrome1;
    double center = 0.0;
    double width = 0.0;
    if (image.getWindowCount() > 0 && image.setWindow(0) && image.getWindow(center, width) && width >= 1.0) {
        window.center = mapping.toValues(center);
        window.width = width * mapping.scale;
    } else {
        // DICOM's minimum-maximum window over the values the image holds.
        double lowest = 0.0;
        double highest = 0.0;
        image.getMinMaxValues(lowest, highest, 0);
        lowest = mapping.toValues(lowest);
        highest = mapping.toValues(highest);
        window.center = (lowest + highest + 1.0) / 2.0;
        window.width = highest - lowest + 1.0;
    }
    if (image.getVoiLutCount() > 0)
        radiograph.m_firstView = voiLutView(image, size);
    if (radiograph.m_firstView.isNull())
        radiograph.m_firstView = window.render(values);
    if (radiograph.m_firstView.isNull()) {
        reason = QStringLiteral("not enough memory for an image of %1 x %2 pixels").arg(size.width()).arg(size.height());
        return std::nullopt;
    }
    return radiograph;
}

RadiographWindow RadiographImage::window(double center, double width) const
{
    RadiographWindow window = m_initialWindow;
    window.center = (center - m_offset) * m_scale;
    window.width = width * m_scale;
    return window;
}
