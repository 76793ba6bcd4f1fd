#pragma once

#include "PatientFile.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class CommandLineOptions;

class QTextStream;

// One subcommand of maturix-cli. run() writes its result to `out`, and on
// failure one line to `err`, and answers the exit status.
class CliCommand
{
public:
    enum ExitStatus { Success = 0, FileError = 1, UsageError = 2 };

    virtual ~CliCommand() = default;
    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    virtual QString help() const = 0;
    virtual int run(const QStringList &arguments, QTextStream &out, QTextStream &err) = 0;

protected:
    // Writes "maturix-cli NAME: message" and answers the status.
    int fail(QTextStream &err, int status, const QString &message) const;
    // Writes "maturix-cli NAME: PATH: reason" and answers FileError.
    int failFile(QTextStream &err, const QString &path, const QString &reason) const;
    // The patient in a patient file or a ".json" patient, with the versions
    // it was stored in when asked for; null once failFile has told why, so
    // the command answers FileError.
    std::unique_ptr<PatientRecord> loadPatient(const QString &path, QTextStream &err,
                                               PatientFile::Versions *versions = nullptr) const;
    // Parses exactly `fileCount` positional arguments (none, one named
    // `fileName` in the usage error, or IN and OUT), the flags (and --help)
    // and the value options into `options`. Answers the exit status when the
    // command is done (help printed, or a usage error reported), otherwise
    // nothing.
    std::optional<int> parseFileArguments(const QStringList &arguments, int fileCount,
                                          const QSet<QString> &flags, CommandLineOptions *options,
                                          QTextStream &out, QTextStream &err,
                                          const QSet<QString> &valueOptions = {},
                                          const QString &fileName = QStringLiteral("FILE"));
};
