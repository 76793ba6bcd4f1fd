#include "FhirCommand.h"

#include "CommandLineOptions.h"
#include "FhirBundle.h"
#include "MaturixAssessment.h"

#include <QJsonDocument>
#include <QTextStream>

QString FhirCommand::summary() const
{
    return QStringLiteral("print a patient's results as a FHIR R4 Bundle");
}

QString FhirCommand::help() const
{
    return QStringLiteral(
        "Usage: maturix-cli fhir FILE\n"
        "\n"
        "Prints the patient and the results of every dated examination of a patient\n"
        "file (or a .json patient) as a FHIR R4 transaction Bundle in JSON, for a\n"
        "health record to import: the Patient, and per examination the Observations\n"
        "bone age (LOINC 85151-9, with the range of ±2 SD for age, its interpretation\n"
        "and the SD score), body height (LOINC 8302-2) and predicted adult height.\n"
        "What is not assessed or not measured is left out; an examination without a\n"
        "date is left out with a warning on standard error.\n");
}

int FhirCommand::run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    CommandLineOptions options({}, {});
    if (const auto status = parseFileArguments(arguments, 1, {}, &options, out, err))
        return *status;
    const QString path = options.positional().first();
    const std::unique_ptr<PatientRecord> record = loadPatient(path, err);
    if (!record)
        return FileError;
    MaturixAssessment assessment;
    assessment.setPatientRecord(record.get());
    QStringList leftOut;
    const QJsonObject bundle = FhirBundle::ofPatient(assessment, &leftOut);
    for (const QString &reason : leftOut)
        err << "maturix-cli " << name() << ": " << reason << '\n';
    out << QJsonDocument(bundle).toJson(QJsonDocument::Indented);
    return Success;
}
