#pragma once

#include "VantrelExport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// What a batch of chart exports came to: how many went out, and each item
// that did not with its reason. Notes concern the batch (an old chart left
// in the export folder) and count as no export. Only the items not done are
// kept, so a batch of any size costs the same.
class VANTREL_EXPORT BatchSummary
{
public:
    void addDone() { ++m_done; }
    void addFailure(const QString &item, const QString &reason);
    // Items that were never tried (a cancelled batch): counted, one line.
    void addUntried(qsizetype count, const QString &line);
    void addNote(const QString &note);

    qsizetype doneCount() const { return m_done; }
    qsizetype total() const { return m_done + m_failures.size() + m_untried; }
    bool isEmpty() const { return total() == 0 && m_notes.isEmpty(); }
    bool wentWell() const { return total() == m_done && m_notes.isEmpty(); }

    // The format filled with the count done and the total ("%1 of %2").
    QString countText(const QString &format) const;
    // "item: reason" for each item not done, then the untried line and the
    // notes.
    QStringList problemLines() const;
    void clear() { *this = {}; }

private:
    qsizetype m_done = 0;
    qsizetype m_untried = 0;
    QList<std::pair<QString, QString>> m_failures;
    QStringList m_lines; // untried and notes, in the order they came
    QStringList m_notes;
};
