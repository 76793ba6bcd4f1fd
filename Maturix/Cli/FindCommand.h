#pragma once

#include "CliCommand.h"

// Lists the studies of a patient that a PACS holds (study-level query).
class FindCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("find"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
