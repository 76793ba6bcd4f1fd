#pragma once

#include <QString>

// What became of one unattended chart export.
struct ExportResult
{
    enum class Outcome {
        Exported, // the chart file is written
        Queued, // handed on (to the viewer or the PACS), which tells its own outcome later
        Skipped, // nothing written, on purpose; the reason says why
        Failed, // the reason says why
    };

    Outcome outcome = Outcome::Exported;
    QString reason;

    static ExportResult exported() { return {}; }
    static ExportResult queued() { return { Outcome::Queued, {} }; }
    static ExportResult skipped(const QString &reason) { return { Outcome::Skipped, reason }; }
    static ExportResult failed(const QString &reason) { return { Outcome::Failed, reason }; }

    // False only for a failure, as the export's own answer has always been.
    explicit operator bool() const { return outcome != Outcome::Failed; }
};
