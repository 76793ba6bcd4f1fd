#include "SendCommand.h"

#include "BoneAgeResults.h"
#include "CliPacsAddress.h"
#include "CommandLineOptions.h"
#include "ExaminationReports.h"
#include "MaturixAssessment.h"
#include "PacsChart.h"
#include "PacsSender.h"
#include "RenderCommand.h"

#include <QTextStream>

QString SendCommand::summary() const
{
    return QStringLiteral("send the chart of a patient file to a PACS");
}

QString SendCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli send FILE --pacs AET@HOST:PORT [--calling AET] [--with-sr]\n"
            "\n"
            "Draws the bone-age chart of FILE (a patient file, or .json) as an export\n"
            "draws it and stores it in the PACS by DICOM storage, as a secondary-capture\n"
            "image of the patient (name, identifier, birth date, sex).\n"
            "\n"
            "  --pacs AET@HOST:PORT   the PACS's AE title, host and DICOM port\n"
            "  --calling AET          our AE title (default MATURIX)\n"
            "  --with-sr              also a structured report per examination, in a\n"
            "                         series of its own in the chart's study\n"
            "\n"
            "Exit status 0 only when the PACS confirmed the storage of every file; 1 when\n"
            "FILE cannot be read or the PACS did not store a file (the reason on stderr),\n"
            "2 for a usage error.\n");
}

int SendCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString pacs = QStringLiteral("pacs");
    const QString calling = QStringLiteral("calling");
    CommandLineOptions options({}, {});
    const QString withReports = QStringLiteral("with-sr");
    if (const auto status = parseFileArguments(arguments, 1, { withReports }, &options, out, err,
                                               { pacs, calling }))
        return *status;
    QString error;
    const std::optional<PacsAddress> address = pacsAddressOption(options, &error);
    if (!address)
        return fail(err, UsageError, error);

    const QString in = options.positional().first();
    const std::unique_ptr<PatientRecord> record = loadPatient(in, err);
    if (!record)
        return FileError;
    const QImage chart = RenderCommand::chartImage(
            *record, QSize(RenderCommand::defaultWidth, RenderCommand::defaultHeight), &error);
    if (chart.isNull())
        return failFile(err, in, error);
    // The chart and its reports share one study and the patient.
    const DicomStudy study = DicomStudy().knownOrNew(PacsChart::description);
    const QDate birthDate = record->birthDate() ? record->birthDate()->toLocalDateTime().date() : QDate();
    PacsChart dicom(chart, record->nameString(), record->referenceString());
    dicom.setPatientsBirthDate(birthDate);
    dicom.setPatientsSex(int(record->gender()));
    dicom.setStudy(study);
    const QByteArray data = dicom.data(&error);
    if (data.isEmpty())
        return failFile(err, in, error);
    QList<QByteArray> files { data };
    if (options.isSet(withReports)) {
        MaturixAssessment assessment;
        assessment.setPatientRecord(record.get());
        ExaminationReports reports(record->nameString(), record->referenceString());
        reports.setPatientsBirthDate(birthDate);
        reports.setPatientsSex(int(record->gender()));
        reports.setStudy(study);
        const QList<BoneAgeResult> results = BoneAgeResults::ofPatient(assessment);
        const QList<QByteArray> made = reports.data(results, &error);
        if (made.size() != results.size())
            return failFile(err, in, error);
        files += made;
    }

    const QList<PacsResult> results = PacsSender::store(*address, files);
    for (qsizetype i = 0; i < results.size(); ++i) {
        if (!results.at(i).confirmed)
            return fail(err, FileError,
                        i == 0 ? results.at(i).reason
                               : QStringLiteral("structured report %1 of %2: %3")
                                         .arg(i)
                                         .arg(files.size() - 1)
                                         .arg(results.at(i).reason));
    }
    out << (files.size() == 1 ? QStringLiteral("%1: stored in %2\n").arg(in, address->toString())
                              : QStringLiteral("%1: chart and %2 structured reports stored in %3\n")
                                        .arg(in)
                                        .arg(files.size() - 1)
                                        .arg(address->toString()));
    return Success;
}
