#include "FindCommand.h"

#include "CliDates.h"
#include "CliPacsAddress.h"
#include "CommandLineOptions.h"
#include "PacsStudyQuery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QString isoDate(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QJsonObject toJson(const PacsStudy &study)
{
    return QJsonObject {
        { "studyInstanceUID", study.studyInstanceUID },
        { "studyDate", isoDate(study.studyDate) },
        { "studyDescription", study.studyDescription },
        { "accessionNumber", study.accessionNumber },
        { "modalities", QJsonArray::fromStringList(study.modalities) },
        { "numberOfImages", study.numberOfImages },
        { "patientID", study.patientID },
        { "patientName", study.patientName },
        { "patientBirthDate", isoDate(study.patientBirthDate) },
        { "patientSex", study.patientSex },
    };
}

} // namespace

QString FindCommand::summary() const
{
    return QStringLiteral("list the studies of a patient in a PACS");
}

QString FindCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli find --pacs AET@HOST:PORT [--calling AET] [--id ID] [--name NAME]\n"
            "                        [--from DATE] [--to DATE] [--modality CR|DX] [--json]\n"
            "\n"
            "Asks the PACS for the studies of a patient (a study-level query) and prints\n"
            "one line per study, the latest first: date, Study Instance UID, modalities,\n"
            "number of images and description, separated by tabs.\n"
            "\n"
            "  --pacs AET@HOST:PORT   the PACS's AE title, host and DICOM port\n"
            "  --calling AET          our AE title (default MATURIX)\n"
            "  --id ID                the Patient ID (* and ? match any text or character)\n"
            "  --name NAME            the patient's name, as DICOM writes it (FAMILY^GIVEN),\n"
            "                         with the same wildcards\n"
            "  --from, --to DATE      studies from or until this day (YYYY-MM-DD)\n"
            "  --modality CR|DX       only studies with images of this modality\n"
            "  --json                 a JSON array of studies instead\n"
            "\n"
            "Exit status 0 when the PACS answered (even with no study), 1 when it did not\n"
            "(the reason on stderr), 2 for a usage error.\n");
}

int FindCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString id = QStringLiteral("id");
    const QString patientName = QStringLiteral("name");
    const QString from = QStringLiteral("from");
    const QString to = QStringLiteral("to");
    const QString modality = QStringLiteral("modality");
    const QString json = QStringLiteral("json");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(
                arguments, 0, { json }, &options, out, err,
                { QStringLiteral("pacs"), QStringLiteral("calling"), id, patientName, from, to, modality }))
        return *status;
    QString error;
    const std::optional<PacsAddress> address = pacsAddressOption(options, &error);
    if (!address)
        return fail(err, UsageError, error);

    PacsStudyQuery query;
    query.patientID = options.value(id).trimmed();
    query.patientName = options.value(patientName).trimmed();
    // A query for every study the PACS holds would be too much to ask.
    if (query.patientID.isEmpty() && query.patientName.isEmpty())
        return fail(err, UsageError, QStringLiteral("give --id or --name (see maturix-cli find --help)"));
    for (const QString &option : { from, to }) {
        if (!options.isSet(option))
            continue;
        const QDate date = parseCalendarDate(options.value(option));
        if (!date.isValid())
            return fail(err, UsageError,
                        QStringLiteral("--%1: '%2' is not a date (YYYY-MM-DD)").arg(option, options.value(option)));
        (option == from ? query.fromDate : query.toDate) = date;
    }
    if (query.fromDate.isValid() && query.toDate.isValid() && query.fromDate > query.toDate)
        return fail(err, UsageError, QStringLiteral("--from is later than --to"));
    if (options.isSet(modality)) {
        const QString wanted = options.value(modality).toUpper();
        if (wanted != u"CR" && wanted != u"DX")
            return fail(err, UsageError,
                        QStringLiteral("--modality: '%1' is not CR or DX").arg(options.value(modality)));
        query.modalities = { wanted };
    }

    const PacsStudyQuery::Answer answer = query.run(*address);
    if (!answer.result.confirmed)
        return fail(err, FileError, answer.result.reason);
    if (options.isSet(json)) {
        QJsonArray studies;
        for (const PacsStudy &study : answer.studies)
            studies.append(toJson(study));
        out << QJsonDocument(studies).toJson(QJsonDocument::Indented);
        return Success;
    }
    for (const PacsStudy &study : answer.studies) {
        const QString date = study.studyDate.isValid() ? isoDate(study.studyDate) : QStringLiteral("-");
        const QString images = study.numberOfImages >= 0 ? QString::number(study.numberOfImages)
                                                         : QStringLiteral("?");
        out << QStringList { date, study.studyInstanceUID, study.modalities.join(u','), images,
                             study.studyDescription }
                        .join(u'\t')
            << '\n';
    }
    return Success;
}
