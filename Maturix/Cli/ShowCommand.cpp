#include "ShowCommand.h"

#include "AssessmentReport.h"
#include "Gender.h"
#include "CommandLineOptions.h"
#include "ExaminationTableModel.h"
#include "MaturixAssessment.h"
#include "PatientJson.h"
#include "PrintableText.h"
#include "TableText.h"

#include <QTextStream>

#include <unistd.h>

namespace {

QString dateText(const std::optional<AbsoluteDate> &date)
{
    if (!date)
        return QStringLiteral("none");
    const QString iso = PatientJson::dateString(*date);
    const QString seconds = QString::number(date->secondsSinceReferenceDate(), 'g', QLocale::FloatingPointShortest);
    return iso.isEmpty() ? QStringLiteral("%1 s (no calendar date)").arg(seconds)
                         : QStringLiteral("%1 (%2 s)").arg(iso, seconds);
}

QString versionText(const std::optional<qint64> &version)
{
    return version ? QString::number(*version) : QStringLiteral("none");
}

// On a terminal the file's texts must not act as terminal controls; the
// line ends stay, so the table still reads as lines.
QString terminalText(const QString &csv)
{
    QStringList lines = csv.split(QStringLiteral("\r\n"));
    for (QString &line : lines)
        line = PrintableText::escaped(line);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

QString ShowCommand::summary() const
{
    return QStringLiteral("print a patient file with every derived value");
}

QString ShowCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli show FILE [--json | --csv]\n"
            "\n"
            "Prints the patient of a patient file and, for each examination, its stored\n"
            "fields and every derived value of the assess command.\n"
            "\n"
            "  --json   print one JSON object: referenceString, nameString, birthDate,\n"
            "           gender, versions (as stored) and exams. Dates are ISO-8601 in UTC,\n"
            "           rounded to the millisecond, with milliseconds only when there is a\n"
            "           fraction; null when absent.\n"
            "  --csv    print the window's examination table as CSV (RFC 4180, UTF-8):\n"
            "           a header row, then one row per examination in date order; on a\n"
            "           terminal, control characters are escaped as in the plain form.\n");
}

int ShowCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, { QStringLiteral("json"), QStringLiteral("csv") },
                                           &options, out, err))
        return *status;
    if (options.isSet(QStringLiteral("json")) && options.isSet(QStringLiteral("csv")))
        return fail(err, UsageError, QStringLiteral("--json and --csv exclude each other"));
    const QString path = options.positional().first();
    PatientFile::Versions versions;
    QString error;
    const std::unique_ptr<PatientRecord> record = loadPatient(path, err, &versions);
    if (!record)
        return FileError;

    if (options.isSet(QStringLiteral("json"))) {
        const std::optional<QJsonObject> object = PatientJson::toJson(*record, versions, &error);
        if (!object)
            return failFile(err, path, error);
        out << PatientJson::text(*object);
        return Success;
    }

    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    if (options.isSet(QStringLiteral("csv"))) {
        // The window's table: in date order, whatever order the file keeps.
        record->sortExaminationsByDate();
        const QString table = TableText::csv(ExaminationTableModel(&assessment));
        out << (isatty(STDOUT_FILENO) ? terminalText(table) : table);
        return Success;
    }
    // The texts are the file's: a control character in them must not reach
    // the terminal.
    out << "Reference: " << PrintableText::escaped(record->referenceString()) << '\n'
        << "Name: " << PrintableText::escaped(record->nameString()) << '\n'
        << "Birth date: " << dateText(record->birthDate()) << '\n'
        << "Sex: " << Gender::name(record->gender()) << '\n'
        << "Versions: PatientRecord " << versionText(versions.patientRecord) << ", TRRecord "
        << versionText(versions.trRecord) << '\n'
        << "Examinations: " << record->trRecordsArray().size() << '\n';
    const PatientRecord::Examinations &exams = record->trRecordsArray();
    for (size_t i = 0; i < exams.size(); ++i) {
        out << "\nExamination " << i + 1 << '\n'
            << "  Exam date: " << dateText(exams[i]->examDate()) << '\n'
            << "  Standard index: " << exams[i]->maturixIndex() << '\n'
            << "  Stored height: "
            << QString::number(exams[i]->height(), 'g', QLocale::FloatingPointShortest) << " cm\n"
            << AssessmentReport(assessment, i).toText(QStringLiteral("  "));
    }
    return Success;
}
