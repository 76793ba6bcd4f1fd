#pragma once

#include "CliCommand.h"

// Converts between patient files and their JSON form (either direction, or
// the same form to rewrite a file in the current versions).
class ConvertCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("convert"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
