// A 4,000 x 5,000 hand radiograph of 12-bit values in 16-bit pixels:
// decoded from a file (uncompressed, RLE, JPEG-LS lossless), and drawn
// through a window as on every mouse move of a window/level drag.
#include "RadiographImage.h"

#include <QTemporaryDir>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrleerg.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmjpls/djencode.h>
#include <dcmtk/dcmjpls/djrparam.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int width = 4000;
constexpr int height = 5000;

// Soft tissue, bones and background, with some noise, so that the
// compressed files are of a realistic size.
std::vector<Uint16> radiographValues()
{
    std::vector<Uint16> values(size_t(width) * height);
    unsigned noise = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const int bone = ((x / 400 + y / 700) % 3 == 0) ? 1400 : 0;
            const int tissue = (x > 500 && x < 3500) ? 900 : 100;
            values[size_t(y) * width + x] = Uint16(std::min(4095u, unsigned(tissue + bone + (noise >> 24))));
        }
    return values;
}

struct Files
{
    Files()
    {
        DcmFileFormat file;
        DcmDataset &data = *file.getDataset();
        data.putAndInsertString(DCM_SOPClassUID, UID_DigitalXRayImageStorageForPresentation);
        data.putAndInsertString(DCM_PatientID, "12-345-6");
        data.putAndInsertString(DCM_PatientName, "Doe^Jane");
        data.putAndInsertString(DCM_StudyDate, "20260112");
        data.putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
        data.putAndInsertUint16(DCM_SamplesPerPixel, 1);
        data.putAndInsertUint16(DCM_Rows, height);
        data.putAndInsertUint16(DCM_Columns, width);
        data.putAndInsertUint16(DCM_BitsAllocated, 16);
        data.putAndInsertUint16(DCM_BitsStored, 12);
        data.putAndInsertUint16(DCM_HighBit, 11);
        data.putAndInsertUint16(DCM_PixelRepresentation, 0);
        data.putAndInsertString(DCM_WindowCenter, "2048");
        data.putAndInsertString(DCM_WindowWidth, "4096");
        const std::vector<Uint16> values = radiographValues();
        data.putAndInsertUint16Array(DCM_PixelData, values.data(), values.size());
        file.saveFile(path("plain.dcm").constData(), EXS_LittleEndianExplicit);

        DcmRLEEncoderRegistration::registerCodecs();
        DJLSEncoderRegistration::registerCodecs();
        if (data.chooseRepresentation(EXS_RLELossless, nullptr).good())
            file.saveFile(path("rle.dcm").constData(), EXS_RLELossless);
        const DJLSRepresentationParameter lossless(2, OFTrue);
        if (data.chooseRepresentation(EXS_JPEGLSLossless, &lossless).good())
            file.saveFile(path("jpegls.dcm").constData(), EXS_JPEGLSLossless);
    }
    QByteArray path(const char *name) const { return folder.filePath(QLatin1String(name)).toUtf8(); }

    QTemporaryDir folder;
};

const Files &files()
{
    static const Files instance;
    return instance;
}

void decode(benchmark::State &state, const char *name)
{
    const QString path = QString::fromUtf8(files().path(name));
    for (auto _ : state) {
        QString error;
        const std::optional<RadiographImage> image = RadiographImage::read(path, &error);
        if (!image) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        benchmark::DoNotOptimize(image->firstView().constBits());
    }
}

} // namespace

static void BM_DecodeUncompressed(benchmark::State &state)
{
    decode(state, "plain.dcm");
}
BENCHMARK(BM_DecodeUncompressed)->Unit(benchmark::kMillisecond);

static void BM_DecodeRle(benchmark::State &state)
{
    decode(state, "rle.dcm");
}
BENCHMARK(BM_DecodeRle)->Unit(benchmark::kMillisecond);

static void BM_DecodeJpegLsLossless(benchmark::State &state)
{
    decode(state, "jpegls.dcm");
}
BENCHMARK(BM_DecodeJpegLsLossless)->Unit(benchmark::kMillisecond);

// One step of a window/level drag: a new window, the whole image drawn.
static void BM_RenderWindow(benchmark::State &state)
{
    QString error;
    const std::optional<RadiographImage> image =
            RadiographImage::read(QString::fromUtf8(files().path("plain.dcm")), &error);
    if (!image) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    RadiographWindow window = image->initialWindow();
    int step = 0;
    for (auto _ : state) {
        window.center = 1500.0 + (step % 100) * 10.0;
        window.width = 1000.0 + (step % 37) * 20.0;
        ++step;
        const QImage grey = window.render(image->values());
        benchmark::DoNotOptimize(grey.constBits());
    }
}
BENCHMARK(BM_RenderWindow)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
