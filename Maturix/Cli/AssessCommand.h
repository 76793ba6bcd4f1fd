#pragma once

#include "CliCommand.h"

#include <optional>

class CommandLineOptions;

// Computes every derived value of one examination given on the command line.
class AssessCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("assess"); }
    QString summary() const override;
    QString help() const override;
    int run(const QStringList &arguments, QTextStream &out, QTextStream &err) override;

private:
    // The --sex value as the shared sex code; none when it is no sex.
    static std::optional<qint64> genderOf(const QString &sexText);
    // --list-standards: each standard of the sex with its index and bone age.
    int listStandards(const CommandLineOptions &options, QTextStream &out, QTextStream &err) const;
};
