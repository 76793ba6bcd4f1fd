#pragma once

#include "CliCommand.h"

// Prints the values of a structured report as JSON.
class StructuredReportReadCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("sr-read"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
