#pragma once

#include "BatchSummary.h"
#include "PacsResult.h"
#include "VantrelExport.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class WaitController;

// Charts on their way to the PACS named in the preferences. Sends run in the
// background, in the order the charts come, and the outcome is told on the
// main thread: an interactive export that fails gets an alert with the
// reason; the charts of a batch (or of an unattended export) end in one
// summary of what was stored and what was not, and why. Either way the user
// is offered to write the charts that were not stored as JPEG files into the
// export folder, so that none is lost. A chart counts as stored only when
// the PACS confirmed it. While charts are on their way a progress panel
// offers Cancel: the user stops waiting, and the charts on their way are
// reported as not known to be stored (and offered as files) at once; what
// the PACS answers afterwards is ignored.
class VANTREL_EXPORT PacsExport : public QObject
{
    Q_OBJECT

public:
    struct Chart
    {
        QString patient; // as the user knows the patient, for the reports
        QByteArray dicom; // the secondary-capture file for the PACS
        QString dicomError; // why there is no such file, when there is none
        QByteArray jpeg; // the same chart, for a file if the PACS does not take it
        QString filePath; // where that file goes in the export folder
        // The examinations' structured reports, stored after the chart on
        // the same association, in its study; or why they could not be made.
        QList<QByteArray> reports;
        QString reportsError;
    };

    explicit PacsExport(QObject *parent = nullptr);
    ~PacsExport() override;
    // The application's, created on first use.
    static PacsExport &shared();

    void exportChart(const Chart &chart, bool interactive);
    // Charts exported between these two calls are reported in one summary,
    // once the last of them has been answered.
    void beginBatch();
    void endBatch();
    // The summary of the batch under way, for the patients whose chart
    // never reached the PACS (their file could not be opened, say): they
    // are named in it, not offered as files.
    BatchSummary &batchSummary() { return m_summary; }
    bool isBusy() const;
    // What Cancel on the progress panel does.
    void cancel();

signals:
    // Every chart handed over so far has been answered and reported.
    void idle();

private:
    struct Unsent
    {
        Chart chart;
        QString reason;
    };

    // The chart's result comes first, then one per report.
    void answerInteractive(const Chart &chart, const QList<PacsResult> &results);
    // Why the reports of a stored chart are not all stored; empty when they are.
    static QString reportsProblem(const Chart &chart, const QList<PacsResult> &reportResults);
    static QList<QByteArray> files(const Chart &chart) { return QList<QByteArray> { chart.dicom } + chart.reports; }
    void sendPending();
    void reportIfDone();
    void offerFiles(const QList<Unsent> &unsent, const QString &messageText,
                    const QString &informativeText);
    void writeFiles(const QList<Unsent> &unsent);
    void updateProgress();

    QList<Chart> m_pending;
    // On their way: sent one by one, and the current batch round.
    QMap<quint64, Chart> m_interactiveCharts;
    quint64 m_lastInteractiveID = 0;
    QList<Chart> m_sendingCharts;
    // Raised by Cancel: answers for an older generation are ignored.
    quint64 m_generation = 0;
    std::unique_ptr<WaitController> m_progress;
    int m_interactiveInFlight = 0;
    bool m_sending = false;
    bool m_batchOpen = false;
    BatchSummary m_summary;
    QList<Unsent> m_unsent;
};
