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
    CommandLineOptions options({}, { QStringLiteral("help") });
    if (!options.parse(arguments))
        return fail(err, UsageError, options.errorString());
    if (options.isSet(QStringLiteral("help"))) {
        out << help();
        return Success;
    }
    if (options.positional().size() != 2)
        return fail(err, UsageError, QStringLiteral("expected IN and OUT (see maturix-cli convert --help)"));
    const QString in = options.positional()[0];
    const QString outPath = options.positional()[1];
    PatientFile::Versions versions;
    QString error;
    const std::unique_ptr<PatientRecord> record = PatientFileIO::load(in, &versions, &error);
    if (!record)
        return fail(err, FileError, QStringLiteral("%1: %2").arg(in, error));
    if (!PatientFileIO::save(outPath, *record, &error))
        return fail(err, FileError, QStringLiteral("%1: %2").arg(outPath, error));
    return Success;
}
