#include "SendCommand.h"

#include "CliPacsAddress.h"
#include "CommandLineOptions.h"
#include "PacsChart.h"
#include "PacsSender.h"
#include "PatientFileIO.h"
#include "RenderCommand.h"

#include <QTextStream>

QString SendCommand::summary() const
{
    return QStringLiteral("send the chart of a patient file to a PACS");
}

QString SendCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli send FILE --pacs AET@HOST:PORT [--calling AET]\n"
            "\n"
            "Draws the bone-age chart of FILE (a patient file, or .json) as an export\n"
            "draws it and stores it in the PACS by DICOM storage, as a secondary-capture\n"
            "image of the patient (name, identifier, birth date, sex).\n"
            "\n"
            "  --pacs AET@HOST:PORT   the PACS's AE title, host and DICOM port\n"
            "  --calling AET          our AE title (default MATURIX)\n"
            "\n"
            "Exit status 0 only when the PACS confirmed the storage; 1 when FILE cannot\n"
            "be read or the PACS did not store the chart (the reason on stderr), 2 for a\n"
            "usage error.\n");
}

int SendCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString pacs = QStringLiteral("pacs");
    const QString calling = QStringLiteral("calling");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err, { pacs, calling }))
        return *status;
    QString error;
    const std::optional<PacsAddress> address = pacsAddressOption(options, &error);
    if (!address)
        return fail(err, UsageError, error);

    const QString in = options.positional().first();
    PatientFile::Versions versions;
    const std::unique_ptr<PatientRecord> record = PatientFileIO::load(in, &versions, &error);
    if (!record)
        return failFile(err, in, error);
    const QImage chart = RenderCommand::chartImage(
            *record, QSize(RenderCommand::defaultWidth, RenderCommand::defaultHeight), &error);
    if (chart.isNull())
        return failFile(err, in, error);
    PacsChart dicom(chart, record->nameString(), record->referenceString());
    if (record->birthDate())
        dicom.setPatientsBirthDate(record->birthDate()->toLocalDateTime().date());
    dicom.setPatientsSex(int(record->gender()));
    const QByteArray data = dicom.data(&error);
    if (data.isEmpty())
        return failFile(err, in, error);

    const PacsResult result = PacsSender::store(*address, { data }).constFirst();
    if (!result.confirmed)
        return fail(err, FileError, result.reason);
    out << QStringLiteral("%1: stored in %2\n").arg(in, address->toString());
    return Success;
}
