#include "FetchCommand.h"

#include "CliPacsAddress.h"
#include "CommandLineOptions.h"
#include "PacsRetrieve.h"

#include <QTextStream>

QString FetchCommand::summary() const
{
    return QStringLiteral("retrieve a study from a PACS into a folder");
}

QString FetchCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli fetch --pacs AET@HOST:PORT [--calling AET] --study UID --to DIR\n"
            "                         [--move PORT]\n"
            "\n"
            "Retrieves the study UID from the PACS by C-GET (the PACS sends the images\n"
            "back on our own connection: no port of ours needs to be open) and writes\n"
            "each image into DIR as SOP-INSTANCE-UID.dcm, as the PACS sent it. Prints\n"
            "the files written, one a line.\n"
            "\n"
            "  --pacs AET@HOST:PORT   the PACS's AE title, host and DICOM port\n"
            "  --calling AET          our AE title (default MATURIX); the PACS must\n"
            "                         allow it to retrieve\n"
            "  --study UID            the Study Instance UID (see maturix-cli find)\n"
            "  --to DIR               the folder, created if need be\n"
            "  --move PORT            by C-MOVE instead, for a PACS that allows only that:\n"
            "                         the PACS sends the images to our AE title, which it\n"
            "                         must know with this host and PORT\n"
            "\n"
            "Exit status 0 when every image of the study arrived; 1 when the PACS could\n"
            "not be reached or did not send them all (the reason on stderr, the files\n"
            "that did arrive still printed); 2 for a usage error.\n");
}

int FetchCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString study = QStringLiteral("study");
    const QString to = QStringLiteral("to");
    const QString move = QStringLiteral("move");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(
                arguments, 0, {}, &options, out, err,
                { QStringLiteral("pacs"), QStringLiteral("calling"), study, to, move }))
        return *status;
    QString error;
    const std::optional<PacsAddress> address = pacsAddressOption(options, &error);
    if (!address)
        return fail(err, UsageError, error);
    if (options.value(study).trimmed().isEmpty())
        return fail(err, UsageError, QStringLiteral("missing --study UID"));
    if (options.value(to).isEmpty())
        return fail(err, UsageError, QStringLiteral("missing --to DIR"));
    quint16 storagePort = 0;
    if (options.isSet(move)) {
        bool ok = false;
        const uint port = options.value(move).toUInt(&ok);
        if (!ok || port == 0 || port > 0xffff)
            return fail(err, UsageError,
                        QStringLiteral("--move: '%1' is not a port from 1 to 65535").arg(options.value(move)));
        storagePort = quint16(port);
    }

    const PacsRetrieve::Answer answer = PacsRetrieve::retrieve(
            *address, options.value(study).trimmed(), options.value(to), storagePort);
    for (const QString &file : answer.files)
        out << file << '\n';
    if (!answer.result.confirmed)
        return fail(err, FileError, answer.result.reason);
    return Success;
}
