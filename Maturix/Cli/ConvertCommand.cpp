#include "ConvertCommand.h"

#include "CommandLineOptions.h"
#include "PatientFileIO.h"

#include <QTextStream>

QString ConvertCommand::summary() const
{
    return QStringLiteral("convert between patient files and JSON");
}

QString ConvertCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli convert IN OUT\n"
            "\n"
            "Reads IN and writes OUT, each a patient file or, when its name ends in\n"
            ".json, a JSON file of the schema of maturix-cli show --json (derived values\n"
            "and versions are ignored on input). OUT is written in the current versions,\n"
            "through a temporary file, so a failure never leaves a half-written file.\n");
}

int ConvertCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 2, {}, &options, out, err))
        return *status;
    const QString in = options.positional()[0];
    const QString outPath = options.positional()[1];
    QString error;
    const std::unique_ptr<PatientRecord> record = loadPatient(in, err);
    if (!record)
        return FileError;
    if (!PatientFileIO::save(outPath, *record, &error))
        return failFile(err, outPath, error);
    return Success;
}
