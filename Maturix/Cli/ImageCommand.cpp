#include "ImageCommand.h"

#include "CommandLineOptions.h"
#include "RadiographImage.h"

#include <QImageWriter>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

namespace {

struct WindowValues
{
    double center = 0.0;
    double width = 0.0;
};

// "CENTER,WIDTH" in the file's units, the width at least 1.
std::optional<WindowValues> windowValues(const QString &text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 2)
        return std::nullopt;
    bool centerOk = false;
    bool widthOk = false;
    const WindowValues window { parts[0].trimmed().toDouble(&centerOk), parts[1].trimmed().toDouble(&widthOk) };
    if (!centerOk || !widthOk || !std::isfinite(window.center) || !(window.width >= 1.0)
        || !std::isfinite(window.width))
        return std::nullopt;
    return window;
}

bool writePng(const QImage &image, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

QString ImageCommand::summary() const
{
    return QStringLiteral("write the radiograph of a DICOM image as a PNG");
}

QString ImageCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli image IMAGE.dcm --png OUT.png [--window CENTER,WIDTH]\n"
            "\n"
            "Decodes the radiograph of IMAGE.dcm (uncompressed, RLE, JPEG, JPEG-LS or\n"
            "JPEG 2000) and writes it as an 8-bit grey PNG, as the Radiograph tab first\n"
            "shows it: through the file's VOI LUT or window, else from its darkest to\n"
            "its brightest value; MONOCHROME1 images inverted.\n"
            "\n"
            "  --png OUT.png            the file to write (through a temporary file)\n"
            "  --window CENTER,WIDTH    this window instead, in the units of the file's\n"
            "                           Window Center and Width (WIDTH at least 1)\n"
            "\n"
            "Exit status 1 when IMAGE.dcm cannot be read or decoded or OUT cannot be\n"
            "written, 2 for a usage error; neither leaves OUT behind.\n");
}

int ImageCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString png = QStringLiteral("png");
    const QString window = QStringLiteral("window");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err, { png, window },
                                               QStringLiteral("IMAGE.dcm")))
        return *status;
    if (!options.isSet(png) || options.value(png).isEmpty())
        return fail(err, UsageError, QStringLiteral("missing --png OUT.png (see maturix-cli image --help)"));
    std::optional<WindowValues> chosen;
    if (options.isSet(window) && !(chosen = windowValues(options.value(window))))
        return fail(err, UsageError,
                    QStringLiteral("--window takes CENTER,WIDTH: two numbers, WIDTH at least 1"));

    const QString in = options.positional().first();
    QString error;
    const std::optional<RadiographImage> image = RadiographImage::read(in, &error);
    if (!image)
        return failFile(err, in, error);
    const QImage grey = chosen ? image->window(chosen->center, chosen->width).render(image->values())
                               : image->firstView();
    const QString outPath = options.value(png);
    if (grey.isNull())
        return failFile(err, in, QStringLiteral("not enough memory to draw the image"));
    if (!writePng(grey, outPath, &error))
        return failFile(err, outPath, error);
    return Success;
}
