#include "RenderCommand.h"

#include "ChartExport.h"
#include "AtomicFile.h"
#include "CommandLineOptions.h"
#include "MaturixGraphView.h"
#include "PatientChartSource.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>

namespace {

// A positive whole number of points up to the maximum, or nothing.
std::optional<int> sizeValue(const CommandLineOptions &options, const QString &name, int fallback)
{
    if (!options.isSet(name))
        return fallback;
    bool ok = false;
    const int value = options.value(name).toInt(&ok);
    if (!ok || value <= 0 || value > RenderCommand::maximumSize)
        return std::nullopt;
    return value;
}

// One device unit per point, from the device's top-left corner.
void drawChart(MaturixGraphView &view, QPainter &painter)
{
    view.renderInto(painter, QRectF(QPointF(0.0, 0.0), QSizeF(view.size())));
}

void showPatient(MaturixGraphView &view, PatientChartSource &source, const PatientRecord &record,
                 const QSize &size)
{
    view.resize(size);
    view.setChartSource(&source);
    view.setRangeForGender(record.gender());
}

// The chart on white, one pixel per point, as the window exports it; a
// null image with the reason when there is not enough memory.
QImage imageOf(MaturixGraphView &view, QString *error)
{
    const QImage image = ChartExport::viewImage(&view);
    if (image.isNull()) {
        *error = QStringLiteral("not enough memory for a %1 x %2 image")
                         .arg(view.width())
                         .arg(view.height());
    }
    return image;
}

bool writeImage(MaturixGraphView &view, RenderCommand::Format format, QIODevice &file,
                QString *error)
{
    const QImage image = imageOf(view, error);
    if (image.isNull())
        return false;
    const bool png = format == RenderCommand::Format::Png;
    QImageWriter writer(&file, png ? "png" : "jpeg");
    if (!png)
        writer.setQuality(100);
    if (!writer.write(image)) {
        *error = writer.errorString();
        return false;
    }
    return true;
}

bool writePdf(MaturixGraphView &view, QIODevice &file, QString *error)
{
    QPdfWriter writer(&file);
    // One device unit per point, on a page exactly the size of the chart.
    writer.setResolution(72);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(view.size()), QPageSize::Point),
                                     QPageLayout::Portrait, QMarginsF()));
    QPainter painter;
    if (!painter.begin(&writer)) {
        *error = QStringLiteral("cannot start the PDF");
        return false;
    }
    painter.fillRect(QRectF(QPointF(0.0, 0.0), QSizeF(view.size())), Qt::white);
    drawChart(view, painter);
    painter.end();
    return true;
}

} // namespace

QString RenderCommand::summary() const
{
    return QStringLiteral("draw the chart of a patient file as an image or PDF");
}

QString RenderCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli render FILE -o OUT [--width W] [--height H]\n"
            "\n"
            "Draws the bone-age chart of FILE (a patient file, or .json) as an export\n"
            "draws it: the latest examination in the legend, no highlight, on white.\n"
            "OUT's ending picks the format: .png, .jpg (highest quality) or .pdf (one\n"
            "page of exactly W x H points). Images have one pixel per point.\n"
            "\n"
            "  -o, --output OUT   the file to write (through a temporary file)\n"
            "  --width W          width in points, 1 to 10000 (default 600)\n"
            "  --height H         height in points, 1 to 10000 (default 450)\n"
            "\n"
            "Works without a display. Exit status 1 when FILE cannot be read or OUT\n"
            "cannot be written, 2 for a usage error; neither leaves OUT behind.\n");
}

std::optional<RenderCommand::Format> RenderCommand::formatForPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"png")
        return Format::Png;
    if (suffix == u"jpg" || suffix == u"jpeg")
        return Format::Jpeg;
    if (suffix == u"pdf")
        return Format::Pdf;
    return std::nullopt;
}

QImage RenderCommand::chartImage(const PatientRecord &record, const QSize &size, QString *error)
{
    PatientChartSource source(&record);
    MaturixGraphView view;
    showPatient(view, source, record, size);
    return imageOf(view, error);
}

bool RenderCommand::renderChart(const PatientRecord &record, const QSize &size, Format format,
                                const QString &path, QString *error)
{
    PatientChartSource source(&record);
    MaturixGraphView view;
    showPatient(view, source, record, size);

    QByteArray data;
    QBuffer file(&data);
    file.open(QIODevice::WriteOnly);
    const bool drawn = format == Format::Pdf ? writePdf(view, file, error)
                                             : writeImage(view, format, file, error);
    return drawn && AtomicFile::write(path, data, error);
}

int RenderCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString output = QStringLiteral("output");
    const QString width = QStringLiteral("width");
    const QString height = QStringLiteral("height");
    CommandLineOptions options({ output, width, height }, { QStringLiteral("help") });
    options.addShortName(QStringLiteral("-o"), output);
    if (!options.parse(arguments))
        return fail(err, UsageError, options.errorString());
    if (options.isSet(QStringLiteral("help"))) {
        out << help();
        return Success;
    }
    if (options.positional().size() != 1)
        return fail(err, UsageError, QStringLiteral("expected one FILE (see maturix-cli render --help)"));
    if (!options.isSet(output) || options.value(output).isEmpty())
        return fail(err, UsageError, QStringLiteral("missing -o OUT (see maturix-cli render --help)"));
    const QString outPath = options.value(output);
    const std::optional<Format> format = formatForPath(outPath);
    if (!format)
        return fail(err, UsageError,
                    QStringLiteral("%1: the ending must be .png, .jpg or .pdf").arg(outPath));
    const std::optional<int> w = sizeValue(options, width, defaultWidth);
    const std::optional<int> h = sizeValue(options, height, defaultHeight);
    if (!w || !h)
        return fail(err, UsageError,
                    QStringLiteral("--width and --height must be whole numbers from 1 to %1")
                            .arg(maximumSize));

    const QString in = options.positional().first();
    QString error;
    const std::unique_ptr<PatientRecord> record = loadPatient(in, err);
    if (!record)
        return FileError;
    if (!renderChart(*record, QSize(*w, *h), *format, outPath, &error))
        return failFile(err, outPath, error);
    return Success;
}
