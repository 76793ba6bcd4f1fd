#include "StructuredReportCommand.h"

#include "AtomicFile.h"
#include "BoneAgeResults.h"
#include "CommandLineOptions.h"
#include "ExaminationReports.h"
#include "MaturixAssessment.h"
#include "RadiographImport.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>

QString StructuredReportCommand::summary() const
{
    return QStringLiteral("write a DICOM structured report per examination");
}

QString StructuredReportCommand::help() const
{
    return QStringLiteral(
            "Usage: maturix-cli sr FILE --out DIR\n"
            "\n"
            "Writes one DICOM structured report (Comprehensive SR) per examination of FILE\n"
            "(a patient file, or .json) into the folder DIR, all in one new study and one\n"
            "series \"Maturix Report\": method, atlas standard matched, bone age,\n"
            "chronological age, SD score with the reference mean and SD, height, percentage\n"
            "of adult height and predicted adult height. What is not assessed or not\n"
            "measured is left out. The files are named after the patient's identifier\n"
            "(\"/\" as \"-\") and the examination date, ID-YYYY-MM-DD.dcm, and printed one\n"
            "per line. An existing file is never replaced: then nothing is written.\n"
            "\n"
            "  --out DIR   the folder the reports are written into (it must exist)\n"
            "\n"
            "maturix-cli sr-read reads a report back.\n");
}

int StructuredReportCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString outOption = QStringLiteral("out");
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err, { outOption }))
        return *status;
    if (!options.isSet(outOption) || options.value(outOption).isEmpty())
        return fail(err, UsageError, QStringLiteral("missing option --out DIR"));
    const QString folder = options.value(outOption);
    if (!QFileInfo(folder).isDir())
        return failFile(err, folder, QStringLiteral("no such folder"));

    const QString in = options.positional().first();
    QString error;
    const std::unique_ptr<PatientRecord> record = loadPatient(in, err);
    if (!record)
        return FileError;
    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    const QList<BoneAgeResult> results = BoneAgeResults::ofPatient(assessment);
    if (results.isEmpty())
        return failFile(err, in, QStringLiteral("the patient has no examination"));

    QList<QDate> examDates;
    for (const BoneAgeResult &result : results)
        examDates.append(result.examDate);
    const QStringList names = fileNames(*record, examDates);
    QStringList paths;
    for (const QString &name : names) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            return failFile(err, path, QStringLiteral("already exists; no report was written"));
        paths.append(path);
    }

    // One study and one series for the reports of one run.
    ExaminationReports reports(record->nameString(), record->referenceString());
    if (record->birthDate())
        reports.setPatientsBirthDate(record->birthDate()->toLocalDateTime().date());
    reports.setPatientsSex(int(record->gender()));
    const QList<QByteArray> files = reports.data(results, &error);
    if (files.isEmpty())
        return failFile(err, in, error);
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!AtomicFile::write(paths[i], files[i], &error))
            return failFile(err, paths[i], error);
        out << paths[i] << '\n';
    }
    return Success;
}

QStringList StructuredReportCommand::fileNames(const PatientRecord &record, const QList<QDate> &examDates)
{
    QString base = RadiographImport::fileBaseName(record.referenceString()).trimmed();
    if (base.isEmpty())
        base = QStringLiteral("patient");
    QStringList names;
    QSet<QString> taken;
    for (qsizetype i = 0; i < examDates.size(); ++i) {
        const QString stem = base + u'-'
                + (examDates[i].isValid() ? examDates[i].toString(Qt::ISODate)
                                          : QStringLiteral("exam%1").arg(i + 1));
        QString name = stem + QStringLiteral(".dcm");
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1-%2.dcm").arg(stem).arg(n);
        taken.insert(name);
        names.append(name);
    }
    return names;
}
