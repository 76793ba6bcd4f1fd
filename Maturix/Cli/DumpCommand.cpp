#include "DumpCommand.h"

#include "CommandLineOptions.h"
#include "PatientFileIO.h"
#include "TypedStreamPrinter.h"
#include "Unarchiver.h"

#include <QTextStream>

QString DumpCommand::summary() const
{
    return QStringLiteral("print the structure of a typedstream archive");
}

QString DumpCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli dump FILE\n"
            "\n"
            "Prints the structure of any typedstream (NSArchiver) archive, such as a\n"
            "patient file: byte order and versions, every value group with its type\n"
            "string and values, every object with its class chain and class versions\n"
            "where it is first written (#n is its reference number), later uses as -> #n.\n");
}

int DumpCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err))
        return *status;
    const QString path = options.positional().first();
    QByteArray data;
    QString error;
    if (!PatientFileIO::readFile(path, &data, &error))
        return failFile(err, path, error);
    Unarchiver archive;
    if (!archive.read(data))
        return failFile(err, path, archive.errorString());
    TypedStreamPrinter::describe(archive, out);
    return Success;
}
