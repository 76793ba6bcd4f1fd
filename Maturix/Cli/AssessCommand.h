#pragma once

#include "CliCommand.h"

// Computes every derived value of one examination given on the command line.
class AssessCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("assess"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
