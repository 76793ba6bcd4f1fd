#include "PacsExport.h"

#include "Alert.h"
#include "AtomicFile.h"
#include "PacsPreferences.h"
#include "PacsSender.h"
#include "WaitController.h"

#include <QCoreApplication>

PacsExport::PacsExport(QObject *parent)
    : QObject(parent)
{
}

PacsExport::~PacsExport() = default;

PacsExport &PacsExport::shared()
{
    static PacsExport *instance = new PacsExport(QCoreApplication::instance());
    return *instance;
}

bool PacsExport::isBusy() const
{
    return m_sending || m_interactiveInFlight > 0 || !m_pending.isEmpty() || m_batchOpen
            || !m_summary.isEmpty();
}

void PacsExport::exportChart(const Chart &chart, bool interactive)
{
    const bool batch = !interactive || m_batchOpen;
    if (chart.dicom.isEmpty()) {
        const PacsResult failed = PacsResult::failure(chart.dicomError);
        if (!batch) {
            answerInteractive(chart, { failed });
            return;
        }
        m_unsent.append({ chart, failed.reason });
        m_summary.addFailure(chart.patient, failed.reason);
        sendPending();
        return;
    }
    if (batch) {
        m_pending.append(chart);
        sendPending();
        return;
    }
    ++m_interactiveInFlight;
    const quint64 id = ++m_lastInteractiveID;
    m_interactiveCharts.insert(id, chart);
    updateProgress();
    PacsSender::storeInBackground(PacsPreferences::address(), files(chart), this,
                                  [this, chart, id, generation = m_generation](
                                          const QList<PacsResult> &results) {
                                      if (generation != m_generation)
                                          return;
                                      --m_interactiveInFlight;
                                      m_interactiveCharts.remove(id);
                                      updateProgress();
                                      answerInteractive(chart, results);
                                  });
}

void PacsExport::cancel()
{
    ++m_generation;
    const QString reason = tr("Sending was cancelled; the PACS may or may not have stored it.");
    const QList<Chart> interactive = std::exchange(m_interactiveCharts, {}).values();
    m_interactiveInFlight = 0;
    for (const Chart &chart : std::exchange(m_sendingCharts, {}))
        m_unsent.append({ chart, reason });
    for (const Chart &chart : std::exchange(m_pending, {}))
        m_unsent.append({ chart, reason });
    m_sending = false;
    updateProgress();
    for (const Chart &chart : interactive)
        answerInteractive(chart, { PacsResult::failure(reason) });
    if (!m_unsent.isEmpty())
        reportIfDone();
}

void PacsExport::updateProgress()
{
    if (!m_sending && m_interactiveInFlight == 0) {
        m_progress.reset();
        return;
    }
    if (m_progress)
        return;
    m_progress = std::make_unique<WaitController>(tr("Sending to the PACS %1...")
                                                          .arg(PacsPreferences::address().toString()));
    m_progress->setIndeterminate();
    m_progress->setCancellable(true);
    connect(m_progress.get(), &WaitController::cancelled, this, &PacsExport::cancel);
    m_progress->showWindow();
}

void PacsExport::answerInteractive(const Chart &chart, const QList<PacsResult> &results)
{
    const PacsResult &result = results.constFirst();
    const QString where = PacsPreferences::address().toString();
    if (!result.confirmed) {
        offerFiles({ { chart, result.reason } }, tr("The chart could not be stored in the PACS"),
                   tr("%1\n\nWrite the chart as a file into the export folder instead?")
                           .arg(result.reason));
    } else if (const QString problem = reportsProblem(chart, results.mid(1)); !problem.isEmpty()) {
        Alert::alertWithMessageText(tr("The chart was stored in the PACS, but not all its reports"),
                                    tr("OK"), QString(), QString(),
                                    tr("%1 was stored in %2, but %3").arg(chart.patient, where, problem))
                .runModal();
    } else {
        // The chart leaves no trace on this computer: say where it went.
        const qsizetype reports = chart.reports.size();
        const QString stored = reports == 0
                ? tr("%1 was stored in %2.").arg(chart.patient, where)
                : reports == 1
                ? tr("%1 was stored in %2, with its structured report.").arg(chart.patient, where)
                : tr("%1 was stored in %2, with its %3 structured reports.")
                          .arg(chart.patient, where, QString::number(reports));
        Alert::alertWithMessageText(tr("The chart was stored in the PACS"), tr("OK"), QString(),
                                    QString(), stored)
                .runModal();
    }
    if (!isBusy())
        emit idle();
}

QString PacsExport::reportsProblem(const Chart &chart, const QList<PacsResult> &reportResults)
{
    if (!chart.reportsError.isEmpty())
        return tr("its structured reports could not be made: %1").arg(chart.reportsError);
    qsizetype failed = 0;
    QString reason;
    for (const PacsResult &result : reportResults) {
        if (!result.confirmed && failed++ == 0)
            reason = result.reason;
    }
    if (failed == 0)
        return {};
    return tr("%1 of its %2 structured reports were not stored: %3")
            .arg(failed)
            .arg(chart.reports.size())
            .arg(reason);
}

void PacsExport::beginBatch()
{
    m_batchOpen = true;
}

void PacsExport::endBatch()
{
    m_batchOpen = false;
    reportIfDone();
}

void PacsExport::sendPending()
{
    if (m_sending)
        return;
    if (m_pending.isEmpty()) {
        reportIfDone();
        return;
    }
    m_sending = true;
    const QList<Chart> charts = std::exchange(m_pending, {});
    m_sendingCharts = charts;
    updateProgress();
    QList<QByteArray> round;
    for (const Chart &chart : charts)
        round.append(files(chart));
    // Charts that come while these are on their way wait for the next round.
    PacsSender::storeInBackground(PacsPreferences::address(), round, this,
                                  [this, charts, generation = m_generation](
                                          const QList<PacsResult> &results) {
                                      if (generation != m_generation)
                                          return;
                                      m_sending = false;
                                      m_sendingCharts.clear();
                                      updateProgress();
                                      // Each chart's result, then its reports'.
                                      qsizetype first = 0;
                                      for (const Chart &chart : charts) {
                                          const PacsResult &result = results.at(first);
                                          const QString problem = reportsProblem(
                                                  chart, results.mid(first + 1, chart.reports.size()));
                                          first += 1 + chart.reports.size();
                                          if (!result.confirmed) {
                                              m_unsent.append({ chart, result.reason });
                                              m_summary.addFailure(chart.patient, result.reason);
                                          } else if (!problem.isEmpty()) {
                                              // The chart is there: nothing to offer as a file.
                                              m_summary.addFailure(chart.patient,
                                                                   tr("the chart was stored, but %1").arg(problem));
                                          } else {
                                              m_summary.addDone();
                                          }
                                      }
                                      sendPending();
                                  });
}

void PacsExport::reportIfDone()
{
    if (m_batchOpen || m_sending || !m_pending.isEmpty())
        return;
    if (m_summary.isEmpty()) {
        if (!isBusy())
            emit idle();
        return;
    }
    const QList<Unsent> unsent = std::exchange(m_unsent, {});
    const BatchSummary summary = std::exchange(m_summary, {});
    const QString title = summary.countText(tr("Charts stored in the PACS: %1 of %2"));
    const QString lines = summary.problemLines().join(u'\n');
    if (summary.wentWell()) {
        Alert::alertWithMessageText(title, tr("OK"), QString(), QString(), QString()).runModal();
    } else if (unsent.isEmpty()) {
        Alert::alertWithMessageText(title, tr("OK"), QString(), QString(), tr("Not stored:\n%1").arg(lines))
                .runModal();
    } else {
        offerFiles(unsent, title,
                   tr("Not stored:\n%1\n\nWrite the charts that were not stored as files into "
                      "the export folder?")
                           .arg(lines));
    }
    if (!isBusy())
        emit idle();
}

void PacsExport::offerFiles(const QList<Unsent> &unsent, const QString &messageText,
                            const QString &informativeText)
{
    const bool plural = unsent.size() > 1;
    const int answer = Alert::alertWithMessageText(messageText,
                                                   plural ? tr("Write Files") : tr("Write File"),
                                                   tr("Don't Write"), QString(), informativeText)
                               .runModal();
    if (answer == Alert::DefaultReturn)
        writeFiles(unsent);
}

void PacsExport::writeFiles(const QList<Unsent> &unsent)
{
    QStringList failures;
    for (const Unsent &chart : unsent) {
        QString error = tr("no chart");
        if (chart.chart.jpeg.isEmpty() || !AtomicFile::write(chart.chart.filePath, chart.chart.jpeg, &error))
            failures.append(tr("%1: %2").arg(chart.chart.filePath, error));
    }
    if (!failures.isEmpty())
        Alert::alertWithMessageText(tr("Some charts could not be written"), tr("OK"), QString(),
                                    QString(), failures.join(u'\n'))
                .runModal();
}
