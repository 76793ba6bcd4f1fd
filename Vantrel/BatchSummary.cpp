#include "BatchSummary.h"

#include <QCoreApplication>

void BatchSummary::addFailure(const QString &item, const QString &reason)
{
    m_failures.append({ item, reason });
}

void BatchSummary::addUntried(qsizetype count, const QString &line)
{
    if (count <= 0)
        return;
    m_untried += count;
    m_lines.append(line);
}

void BatchSummary::addNote(const QString &note)
{
    m_notes.append(note);
    m_lines.append(note);
}

QString BatchSummary::countText(const QString &format) const
{
    return format.arg(m_done).arg(total());
}

QStringList BatchSummary::problemLines() const
{
    QStringList lines;
    // One line an item, whatever the reason's own lines.
    for (const auto &[item, reason] : m_failures)
        lines.append(QCoreApplication::translate("BatchSummary", "%1: %2")
                             .arg(item, reason.split(u'\n', Qt::SkipEmptyParts).join(u' ')));
    return lines + m_lines;
}
