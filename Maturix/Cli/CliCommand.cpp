#include "CliCommand.h"

#include "CommandLineOptions.h"
#include "PatientFileIO.h"
#include "PrintableText.h"

#include <QTextStream>

int CliCommand::fail(QTextStream &err, int status, const QString &message) const
{
    err << "maturix-cli " << name() << ": " << message << '\n';
    return status;
}

std::unique_ptr<PatientRecord> CliCommand::loadPatient(const QString &path, QTextStream &err,
                                                       PatientFile::Versions *versions) const
{
    PatientFile::Versions stored;
    QString error;
    std::unique_ptr<PatientRecord> record = PatientFileIO::load(path, versions ? versions : &stored, &error);
    if (!record)
        failFile(err, path, error);
    return record;
}

int CliCommand::failFile(QTextStream &err, const QString &path, const QString &reason) const
{
    // Reasons quote the file's bytes escaped already; a name may hold a line
    // break of its own.
    return fail(err, FileError, QStringLiteral("%1: %2").arg(PrintableText::escaped(path), reason));
}

std::optional<int> CliCommand::parseFileArguments(const QStringList &arguments, int fileCount,
                                                  const QSet<QString> &flags,
                                                  CommandLineOptions *options, QTextStream &out,
                                                  QTextStream &err, const QSet<QString> &valueOptions,
                                                  const QString &fileName)
{
    *options = CommandLineOptions(valueOptions, flags + QSet<QString> { QStringLiteral("help") });
    if (!options->parse(arguments))
        return fail(err, UsageError, options->errorString());
    if (options->isSet(QStringLiteral("help"))) {
        out << help();
        return Success;
    }
    if (fileCount == 0 && !options->positional().isEmpty())
        return fail(err, UsageError,
                    QStringLiteral("unexpected argument '%1' (see maturix-cli %2 --help)")
                            .arg(options->positional().first(), name()));
    if (options->positional().size() != fileCount)
        return fail(err, UsageError,
                    QStringLiteral("expected %1 (see maturix-cli %2 --help)")
                            .arg(fileCount == 1 ? QStringLiteral("one ") + fileName : QStringLiteral("IN and OUT"),
                                 name()));
    return std::nullopt;
}
