#pragma once

#include "CliCommand.h"

// Prints a patient file: the patient, and for each examination its stored
// fields and every derived value.
class ShowCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("show"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
