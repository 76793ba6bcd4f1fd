#include "Jpeg2000Decoder.h"

#include <dcmtk/dcmdata/dcdatset.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcpixel.h>
#include <dcmtk/dcmdata/dcpixseq.h>
#include <dcmtk/dcmdata/dcpxitem.h>
#include <dcmtk/dcmdata/dcxfer.h>

#include <openjpeg.h>

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// The codestream in memory, read by OpenJPEG through these callbacks.
struct Source
{
    const QByteArray *bytes;
    OPJ_SIZE_T position = 0;

    OPJ_SIZE_T left() const { return OPJ_SIZE_T(bytes->size()) - position; }
};

OPJ_SIZE_T readSource(void *buffer, OPJ_SIZE_T count, void *data)
{
    auto *source = static_cast<Source *>(data);
    const OPJ_SIZE_T n = std::min(count, source->left());
    if (n == 0)
        return OPJ_SIZE_T(-1);
    std::memcpy(buffer, source->bytes->constData() + source->position, n);
    source->position += n;
    return n;
}

OPJ_OFF_T skipSource(OPJ_OFF_T count, void *data)
{
    auto *source = static_cast<Source *>(data);
    if (count < 0)
        return -1;
    const OPJ_SIZE_T n = std::min(OPJ_SIZE_T(count), source->left());
    source->position += n;
    return OPJ_OFF_T(n);
}

OPJ_BOOL seekSource(OPJ_OFF_T position, void *data)
{
    auto *source = static_cast<Source *>(data);
    if (position < 0 || position > OPJ_OFF_T(source->bytes->size()))
        return OPJ_FALSE;
    source->position = OPJ_SIZE_T(position);
    return OPJ_TRUE;
}

void keepMessage(const char *message, void *data)
{
    auto *text = static_cast<QString *>(data);
    if (text->isEmpty())
        *text = QString::fromUtf8(message).trimmed();
}

void ignoreMessage(const char *, void *) { }

// The first frame's codestream: every fragment of a single frame, or the
// first fragment where each frame has one of its own.
QByteArray firstFrame(DcmDataset &dataset, QString *error)
{
    DcmElement *element = nullptr;
    if (dataset.findAndGetElement(DCM_PixelData, element).bad() || !element) {
        *error = QStringLiteral("no pixel data");
        return {};
    }
    auto *pixelData = static_cast<DcmPixelData *>(element);
    DcmPixelSequence *sequence = nullptr;
    if (pixelData->getEncapsulatedRepresentation(dataset.getOriginalXfer(), nullptr, sequence).bad()
        || !sequence || sequence->card() < 2) {
        *error = QStringLiteral("the compressed frames are missing");
        return {};
    }
    long frames = 1;
    dataset.findAndGetLongInt(DCM_NumberOfFrames, frames);
    const unsigned long last = frames > 1 ? 1 : sequence->card() - 1;
    QByteArray stream;
    // Item 0 is the offset table.
    for (unsigned long index = 1; index <= last; ++index) {
        DcmPixelItem *item = nullptr;
        Uint8 *bytes = nullptr;
        if (sequence->getItem(item, index).bad() || !item || item->getUint8Array(bytes).bad())
            continue;
        if (bytes)
            stream.append(reinterpret_cast<const char *>(bytes), qsizetype(item->getLength()));
    }
    if (stream.isEmpty())
        *error = QStringLiteral("the compressed frame is empty");
    return stream;
}

struct CodecDeleter
{
    void operator()(opj_codec_t *codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter
{
    void operator()(opj_stream_t *stream) const { opj_stream_destroy(stream); }
};
struct ImageDeleter
{
    void operator()(opj_image_t *image) const { opj_image_destroy(image); }
};

} // namespace

bool Jpeg2000Decoder::isJpeg2000(const DcmDataset &dataset)
{
    const E_TransferSyntax syntax = dataset.getOriginalXfer();
    return syntax == EXS_JPEG2000LosslessOnly || syntax == EXS_JPEG2000;
}

bool Jpeg2000Decoder::decodeFirstFrame(DcmDataset &dataset, qint64 maximumPixels, QString *error)
{
    const QByteArray stream = firstFrame(dataset, error);
    if (stream.isEmpty())
        return false;
    // A bare codestream starts with SOC and SIZ; some writers wrap it in a
    // JP2 file instead.
    static const char jp2Signature[] = { 0, 0, 0, 12, 'j', 'P', ' ', ' ' };
    const bool jp2 = stream.startsWith(QByteArray::fromRawData(jp2Signature, 8));
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(
            opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    QString message;
    opj_set_error_handler(codec.get(), keepMessage, &message);
    opj_set_warning_handler(codec.get(), ignoreMessage, nullptr);
    opj_set_info_handler(codec.get(), ignoreMessage, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters)) {
        *error = QStringLiteral("the JPEG 2000 decoder cannot start");
        return false;
    }
    Source source { &stream };
    std::unique_ptr<opj_stream_t, StreamDeleter> input(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    opj_stream_set_user_data(input.get(), &source, nullptr);
    opj_stream_set_user_data_length(input.get(), OPJ_UINT64(stream.size()));
    opj_stream_set_read_function(input.get(), readSource);
    opj_stream_set_skip_function(input.get(), skipSource);
    opj_stream_set_seek_function(input.get(), seekSource);

    opj_image_t *raw = nullptr;
    const bool header = opj_read_header(input.get(), codec.get(), &raw);
    std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
    const auto failed = [&](const QString &fallback) {
        *error = QStringLiteral("JPEG 2000: %1").arg(message.isEmpty() ? fallback : message);
        return false;
    };
    if (!header || !image)
        return failed(QStringLiteral("the frame's header cannot be read"));
    if (image->numcomps != 1)
        return failed(QStringLiteral("%1 colour components; a radiograph has one").arg(image->numcomps));
    const qint64 width = qint64(image->x1) - image->x0;
    const qint64 height = qint64(image->y1) - image->y0;
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || width * height > maximumPixels)
        return failed(QStringLiteral("a frame of %1 x %2 pixels").arg(width).arg(height));
    if (!opj_decode(codec.get(), input.get(), image.get()) || !opj_end_decompress(codec.get(), input.get()))
        return failed(QStringLiteral("the frame cannot be decoded"));
    const opj_image_comp_t &component = image->comps[0];
    if (!component.data || qint64(component.w) * component.h != width * height)
        return failed(QStringLiteral("the decoded frame is incomplete"));

    // The dataset's own description of the pixels holds, as for every
    // other transfer syntax; only the size comes from the codestream.
    Uint16 bitsAllocated = 16;
    dataset.findAndGetUint16(DCM_BitsAllocated, bitsAllocated);
    const qint64 count = width * height;
    const OPJ_INT32 *values = component.data;
    OFCondition stored;
    if (bitsAllocated == 8) {
        std::vector<Uint8> pixels(size_t(count), 0);
        std::transform(values, values + count, pixels.begin(), [](OPJ_INT32 v) { return Uint8(v); });
        stored = dataset.putAndInsertUint8Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(count));
    } else {
        std::vector<Uint16> pixels(size_t(count), 0);
        std::transform(values, values + count, pixels.begin(), [](OPJ_INT32 v) { return Uint16(v); });
        stored = dataset.putAndInsertUint16Array(DCM_PixelData, pixels.data(), static_cast<unsigned long>(count));
        dataset.putAndInsertUint16(DCM_BitsAllocated, 16);
    }
    dataset.putAndInsertUint16(DCM_Rows, Uint16(height));
    dataset.putAndInsertUint16(DCM_Columns, Uint16(width));
    dataset.putAndInsertString(DCM_NumberOfFrames, "1");
    if (stored.bad()) {
        *error = QString::fromLatin1(stored.text());
        return false;
    }
    return true;
}
