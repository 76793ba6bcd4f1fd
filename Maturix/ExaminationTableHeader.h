#pragma once

#include <QHeaderView>

// The examination table's column titles on two lines, broken at the space
// that makes the title narrowest, so that every column of the table fits a
// window on a 1366 pixel wide screen. The texts stay those of the model:
// copies and files of the table get them on one line.
class ExaminationTableHeader : public QHeaderView
{
    Q_OBJECT

public:
    // Invokable, so that a picture of the table can have a header like it.
    Q_INVOKABLE explicit ExaminationTableHeader(
        Qt::Orientation orientation, QWidget *parent = nullptr);

    // The title with a line break in the space that leaves the longer line
    // shortest; a single word as it is.
    static QString twoLines(const QString &title, const QFontMetrics &metrics);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void initStyleOptionForIndex(QStyleOptionHeader *option, int logicalIndex) const override;
};
