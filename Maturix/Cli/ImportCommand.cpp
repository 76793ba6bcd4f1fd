#include "ImportCommand.h"

#include "CommandLineOptions.h"
#include "PatientFileIO.h"
#include "PreferenceKeys.h"
#include "RadiographImport.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The application registers these defaults when it starts; the command
// line reads the same preferences without starting it.
QString preference(const QString &key, const QString &fallback)
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    return defaults.hasStoredValue(key) ? defaults.stringForKey(key) : fallback;
}

// The "Save Directory" preference's folder, as the window saves into it.
QString databaseFolder()
{
    return VantrelAppController::expandTilde(
            preference(PreferenceKeys::SaveDirectory, QStringLiteral("~/Desktop/")));
}

} // namespace

QString ImportCommand::summary() const
{
    return QStringLiteral("file the patient and study of a DICOM image in the database");
}

QString ImportCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli import IMAGE.dcm [--database DIR]\n"
            "\n"
            "Reads the patient (Patient ID exactly as given, name, birth date, sex) and\n"
            "the study date of IMAGE.dcm and files them in the patient's file in the\n"
            "database folder, named by the Patient ID with every \"/\" made \"-\": a new\n"
            "file, or an examination added to the patient's file. An image of a date the\n"
            "patient already has an examination for adds none. Prints the file's path.\n"
            "\n"
            "  --database DIR   the database folder (default: the \"Save Directory\"\n"
            "                   preference of Maturix)\n"
            "\n"
            "Where the patient's file records another birth date or sex than the image,\n"
            "nothing is written and both values are named. Exit status 1 when IMAGE.dcm\n"
            "cannot be read, the file disagrees or cannot be written, 2 for a usage error.\n");
}

int ImportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString database = QStringLiteral("database");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err, { database },
                                               QStringLiteral("IMAGE.dcm")))
        return *status;
    if (options.isSet(database) && options.value(database).isEmpty())
        return fail(err, UsageError, QStringLiteral("--database takes a folder"));

    const QString in = options.positional().first();
    QString error;
    const std::optional<RadiographImage> image = RadiographImage::read(in, &error);
    if (!image)
        return failFile(err, in, error);
    const QString identifier = image->patient().id;
    if (identifier.trimmed().isEmpty())
        return failFile(err, in, QStringLiteral("the image names no patient (its Patient ID is empty)"));
    if (!image->examinationDate().isValid())
        return failFile(err, in, QStringLiteral("the image has no study, acquisition or content date"));

    const QString folder = options.isSet(database) ? options.value(database) : databaseFolder();
    if (!QFileInfo(folder).isDir())
        return failFile(err, folder, QStringLiteral("no such folder"));
    const QString path = QDir(folder).filePath(
            RadiographImport::fileBaseName(identifier) + u'.'
            + preference(PreferenceKeys::DataFileExtension, QStringLiteral("maturix")));

    std::unique_ptr<PatientRecord> record;
    if (QFileInfo::exists(path)) {
        PatientFile::Versions versions;
        if (!(record = PatientFileIO::load(path, &versions, &error)))
            return failFile(err, path, error);
        if (const QStringList disagreements = RadiographImport::disagreements(*record, *image);
            !disagreements.isEmpty())
            return failFile(err, path,
                            QStringLiteral("the image disagrees with the patient file, which is left as "
                                           "it is: %1")
                                    .arg(disagreements.join(QStringLiteral("; "))));
    } else {
        record = PatientRecord::blank();
    }
    RadiographImport::apply(*record, *image);
    if (!PatientFileIO::save(path, *record, &error))
        return failFile(err, path, error);
    out << path << '\n';
    return Success;
}
