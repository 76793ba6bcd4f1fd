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
            answerInteractive(chart, failed);
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
    PacsSender::storeInBackground(PacsPreferences::address(), { chart.dicom }, this,
                                  [this, chart, id, generation = m_generation](
                                          const QList<PacsResult> &results) {
                                      if (generation != m_generation)
                                          return;
                                      --m_interactiveInFlight;
                                      m_interactiveCharts.remove(id);
                                      updateProgress();
                                      answerInteractive(chart, results.constFirst());
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
        answerInteractive(chart, PacsResult::failure(reason));
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

void PacsExport::answerInteractive(const Chart &chart, const PacsResult &result)
{
    if (result.confirmed) {
        // The chart leaves no trace on this computer: say where it went.
        Alert::alertWithMessageText(tr("The chart was stored in the PACS"), tr("OK"), QString(),
                                    QString(),
                                    tr("%1 was stored in %2.")
                                            .arg(chart.patient, PacsPreferences::address().toString()))
                .runModal();
    } else {
        offerFiles({ { chart, result.reason } }, tr("The chart could not be stored in the PACS"),
                   tr("%1\n\nWrite the chart as a file into the export folder instead?")
                           .arg(result.reason));
    }
    if (!isBusy())
        emit idle();
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
    QList<QByteArray> files;
    for (const Chart &chart : charts)
        files.append(chart.dicom);
    // Charts that come while these are on their way wait for the next round.
    PacsSender::storeInBackground(PacsPreferences::address(), files, this,
                                  [this, charts, generation = m_generation](
                                          const QList<PacsResult> &results) {
                                      if (generation != m_generation)
                                          return;
                                      m_sending = false;
                                      m_sendingCharts.clear();
                                      updateProgress();
                                      for (qsizetype i = 0; i < charts.size(); ++i) {
                                          if (results.at(i).confirmed) {
                                              m_summary.addDone();
                                          } else {
                                              m_unsent.append({ charts.at(i), results.at(i).reason });
                                              m_summary.addFailure(charts.at(i).patient,
                                                                   results.at(i).reason);
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
