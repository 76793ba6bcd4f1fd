#pragma once

#include "CliCommand.h"

// Prints a patient file's results as a FHIR R4 transaction Bundle.
class FhirCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("fhir"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
