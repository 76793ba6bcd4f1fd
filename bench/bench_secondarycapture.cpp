// A 600 × 450 chart JPEG turned into an explicit VR little endian
// secondary-capture file with decompressed pixels: by the plug-in's writer,
// and by DCMTK's img2dcm (which keeps the JPEG stream, so dcmdjpeg
// decompresses it to the same transfer syntax). Whole processes, and the
// writer alone in this process.
#include "SecondaryCaptureWriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {
QByteArray chartJpeg()
{
    QImage chart(600, 450, QImage::Format_RGB32);
    chart.fill(Qt::white);
    QPainter painter(&chart);
    painter.fillRect(60, 40, 500, 360, QColor(200, 220, 240));
    painter.setPen(QPen(Qt::darkBlue, 3));
    for (int x = 60; x < 560; x += 25)
        painter.drawLine(x, 400, x + 20, 40 + (x * 7) % 360);
    painter.drawText(70, 30, QStringLiteral("Doe^Jane 12-345-6"));
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    chart.save(&buffer, "JPEG", 100);
    return jpeg;
}

struct Folder
{
    Folder()
    {
        QFile file(folder.filePath(QStringLiteral("chart.jpg")));
        file.open(QIODevice::WriteOnly);
        file.write(jpeg);
    }
    QString path(const char *name) const { return folder.filePath(QLatin1String(name)); }

    QByteArray jpeg = chartJpeg();
    QTemporaryDir folder;
};

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}
} // namespace

static void BM_ChartToSecondaryCaptureProcess(benchmark::State &state)
{
    const Folder folder;
    for (auto _ : state) {
        if (!run(QStringLiteral(CHART2DCM), { folder.path("chart.jpg"), folder.path("out.dcm") }))
            state.SkipWithError("chart2dcm failed");
    }
}
BENCHMARK(BM_ChartToSecondaryCaptureProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_Img2dcmThenDcmdjpegProcesses(benchmark::State &state)
{
    const Folder folder;
    for (auto _ : state) {
        if (!run(QStringLiteral("img2dcm"),
                { "-q", "-i", "JPEG", folder.path("chart.jpg"), folder.path("jpeg.dcm") })
            || !run(QStringLiteral("dcmdjpeg"),
                { "-q", "+te", folder.path("jpeg.dcm"), folder.path("out.dcm") }))
            state.SkipWithError("img2dcm or dcmdjpeg failed");
    }
}
BENCHMARK(BM_Img2dcmThenDcmdjpegProcesses)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_Img2dcmProcessJpegKept(benchmark::State &state)
{
    const Folder folder;
    for (auto _ : state) {
        if (!run(QStringLiteral("img2dcm"),
                { "-q", "-i", "JPEG", folder.path("chart.jpg"), folder.path("jpeg.dcm") }))
            state.SkipWithError("img2dcm failed");
    }
}
BENCHMARK(BM_Img2dcmProcessJpegKept)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_SecondaryCaptureWriterInProcess(benchmark::State &state)
{
    const QByteArray jpeg = chartJpeg();
    for (auto _ : state) {
        SecondaryCaptureWriter writer(QImage::fromData(jpeg, "JPEG"));
        writer.setPatientID(QStringLiteral("12-345-6"));
        benchmark::DoNotOptimize(writer.data());
    }
}
BENCHMARK(BM_SecondaryCaptureWriterInProcess)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
