#pragma once

#include "CliCommand.h"

#include <memory>
#include <vector>

// maturix-cli: dispatches to its subcommands and answers --help.
class CommandLineTool
{
public:
    CommandLineTool();
    ~CommandLineTool();

    int run(const QStringList &arguments, QTextStream &out, QTextStream &err);
    QString help() const;

private:
    std::vector<std::unique_ptr<CliCommand>> m_commands;
};
