#pragma once

#include "ExaminationTableModel.h"

#include <QString>
#include <QStringList>

class MaturixAssessment;

// The report paragraph of one examination, filled into a template from the
// texts the examination table shows, so that the paragraph, the window and
// the table never disagree.
//
// A template holds "{name}" placeholders and optional parts in square
// brackets: a part is left out, brackets and all, when a placeholder in it
// has no value (not assessed, not measured, or withheld by blind reading).
// Parts may nest. A backslash takes the next character literally.
class ReportParagraph
{
public:
    // The assessment's blind reading decides which ages are withheld.
    ReportParagraph(const MaturixAssessment &assessment, quint64 examIndex);

    static QString defaultTemplate();
    static QStringList placeholderNames();
    // The names in `templateText` that are no placeholder, in order, once each.
    static QStringList unknownPlaceholders(const QString &templateText);

    // The value of a placeholder; empty when there is none.
    QString value(const QString &name) const;
    // The template filled in. Unknown placeholders count as having no value:
    // check unknownPlaceholders() first.
    QString text(const QString &templateText = defaultTemplate()) const;

private:
    // Fills from `position` up to the closing bracket of the part (or the
    // end); `missing` is set when a placeholder of this level has no value.
    QString fill(const QString &templateText, qsizetype &position, bool &missing) const;

    const ExaminationTableModel m_table;
    quint64 m_examIndex;
};
