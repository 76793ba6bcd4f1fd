#pragma once

#include "CliCommand.h"

// Prints the structure of any typedstream archive.
class DumpCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("dump"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
