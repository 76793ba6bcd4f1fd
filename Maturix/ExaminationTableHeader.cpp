#include "ExaminationTableHeader.h"

#include <QStyleOptionHeader>

ExaminationTableHeader::ExaminationTableHeader(Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent)
{
    // What a table view gives its own header.
    setSectionsClickable(true);
    setHighlightSections(true);
    // An elided title would end at its first line.
    setTextElideMode(Qt::ElideNone);
}

QString ExaminationTableHeader::twoLines(const QString &title, const QFontMetrics &metrics)
{
    QString best = title;
    int bestWidth = metrics.horizontalAdvance(title);
    for (qsizetype space = title.indexOf(u' '); space >= 0;
         space = title.indexOf(u' ', space + 1)) {
        const int width = std::max(metrics.horizontalAdvance(title.left(space)),
            metrics.horizontalAdvance(title.mid(space + 1)));
        if (width < bestWidth) {
            bestWidth = width;
            best = title.left(space) + u'\n' + title.mid(space + 1);
        }
    }
    return best;
}

QSize ExaminationTableHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    if (orientation() != Qt::Horizontal || !model())
        return size;
    // The one-line size, less the width and plus the height the break makes.
    const QString title = model()->headerData(logicalIndex, orientation()).toString();
    const QFontMetrics metrics = fontMetrics();
    const QSize oneLine = metrics.size(0, title);
    const QSize broken = metrics.size(0, twoLines(title, metrics));
    // Every title takes two lines, so that the header's height is one.
    const int twoLineHeight = metrics.size(0, QStringLiteral("A\nA")).height();
    return { size.width() - oneLine.width() + broken.width(),
        size.height() - oneLine.height() + std::max(broken.height(), twoLineHeight) };
}

void ExaminationTableHeader::initStyleOptionForIndex(
    QStyleOptionHeader *option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (orientation() == Qt::Horizontal)
        option->text = twoLines(option->text, option->fontMetrics);
}
