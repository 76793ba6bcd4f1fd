#pragma once

#include <QTableView>

class ExaminationTableModel;
class QSortFilterProxyModel;

// The examination table of the patient window: in date order until the
// user sorts by another column (numbers as numbers), one examination
// selected at a time by the user, and Copy (Ctrl+C) of the selected rows,
// or of the whole table, as tab-separated text with a header row.
class ExaminationTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ExaminationTableView(QWidget *parent = nullptr);

    // Not owned; it must outlive the view.
    void setExaminationModel(ExaminationTableModel *model);
    // The model as shown: in the order the user sorted it by.
    QSortFilterProxyModel *sortedModel() const { return m_sorted; }

    // Selects the examination's row, wherever sorting put it, without
    // reporting it as chosen.
    void selectExamination(quint64 exam);
    // Selected rows in the order shown, or every row; with the header row.
    QString copyText() const;

public slots:
    // The selected rows (all rows when none is selected).
    void copy();
    // Every row, whatever is selected.
    void copyAll();

signals:
    // The user chose the row of this examination.
    void examinationChosen(quint64 exam);

private:
    void onCurrentRowChanged(const QModelIndex &current);

    QSortFilterProxyModel *m_sorted;
    bool m_selectingExamination = false;
};
