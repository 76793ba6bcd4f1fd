#include "ReportCommand.h"

#include "CliDates.h"
#include "CommandLineOptions.h"
#include "MaturixAssessment.h"
#include "ReportParagraph.h"

#include <QFile>
#include <QTextStream>

namespace {

// The placeholder names, wrapped to the help's indented column.
QString placeholderList()
{
    QString list;
    qsizetype lineLength = 0;
    for (const QString &name : ReportParagraph::placeholderNames()) {
        if (lineLength > 0 && lineLength + name.size() + 2 > 62) {
            list += QStringLiteral(",\n               ");
            lineLength = 0;
        } else if (lineLength > 0) {
            list += QStringLiteral(", ");
            lineLength += 2;
        }
        list += name;
        lineLength += name.size();
    }
    return list;
}

} // namespace

QString ReportCommand::summary() const
{
    return QStringLiteral("print the report paragraph of an examination");
}

QString ReportCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli report FILE [--exam YYYY-MM-DD] [--template FILE] [--blind]\n"
            "\n"
            "Prints the report paragraph of one examination of a patient file: bone age,\n"
            "chronological age, SD score, height, percentage of adult height, predicted\n"
            "adult height and, after an earlier visit, the trend between visits. What is\n"
            "not assessed or not measured is left out.\n"
            "\n"
            "  --exam       the examination of that date (local time zone); default the latest\n"
            "  --template   a template in UTF-8: {name} placeholders, and [optional parts]\n"
            "               left out when a placeholder in them has no value; \\ takes the\n"
            "               next character literally. Placeholders:\n"
            "               %1\n"
            "  --blind      blind reading: no ages for an examination not yet assessed\n")
            .arg(placeholderList());
}

int ReportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, { QStringLiteral("blind") }, &options, out, err,
                                               { QStringLiteral("exam"), QStringLiteral("template") }))
        return *status;
    QDate date;
    if (options.isSet(QStringLiteral("exam"))) {
        date = parseCalendarDate(options.value(QStringLiteral("exam")));
        if (!date.isValid())
            return fail(err, UsageError, QStringLiteral("invalid examination date '%1' (YYYY-MM-DD)")
                                                 .arg(options.value(QStringLiteral("exam"))));
    }
    QString templateText = ReportParagraph::defaultTemplate();
    if (options.isSet(QStringLiteral("template"))) {
        const QString templatePath = options.value(QStringLiteral("template"));
        QFile file(templatePath);
        if (!file.open(QIODevice::ReadOnly))
            return failFile(err, templatePath, file.errorString());
        templateText = QString::fromUtf8(file.readAll());
        const QStringList unknown = ReportParagraph::unknownPlaceholders(templateText);
        if (!unknown.isEmpty())
            return fail(err, UsageError, QStringLiteral("unknown placeholder in %1: {%2}")
                                                 .arg(templatePath, unknown.join(QStringLiteral("}, {"))));
    }

    const QString path = options.positional().first();
    const std::unique_ptr<PatientRecord> record = loadPatient(path, err);
    if (!record)
        return FileError;
    const std::optional<quint64> exam = examinationOn(*record, date);
    if (!exam)
        return fail(err, UsageError, date.isValid()
                            ? QStringLiteral("no examination on %1").arg(date.toString(Qt::ISODate))
                            : QStringLiteral("no examination"));
    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    assessment.setBlindReading(options.isSet(QStringLiteral("blind")));
    out << ReportParagraph(assessment, *exam).text(templateText) << '\n';
    return Success;
}

std::optional<quint64> ReportCommand::examinationOn(const PatientRecord &record, const QDate &date)
{
    const PatientRecord::Examinations &exams = record.trRecordsArray();
    std::optional<quint64> found;
    std::optional<AbsoluteDate> latest;
    for (quint64 i = 0; i < exams.size(); ++i) {
        const std::optional<AbsoluteDate> examDate = exams[i]->examDate();
        if (date.isValid()) {
            if (examDate && examDate->toLocalDateTime().date() == date)
                found = i;
        } else if (examDate ? !latest || !(examDate->secondsSinceReferenceDate() < latest->secondsSinceReferenceDate())
                            : !latest) {
            found = i;
            if (examDate)
                latest = examDate;
        }
    }
    return found;
}
