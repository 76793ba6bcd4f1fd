#pragma once

#include "CliCommand.h"

// Retrieves one study from a PACS into a folder (C-GET).
class FetchCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("fetch"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;
};
