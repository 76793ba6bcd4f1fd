#include "ExaminationTableView.h"

#include "ExaminationTableHeader.h"
#include "ExaminationTableModel.h"
#include "TableText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>

#include <algorithm>

ExaminationTableView::ExaminationTableView(QWidget *parent)
    : QTableView(parent)
    , m_sorted(new QSortFilterProxyModel(this))
{
    m_sorted->setSortRole(ExaminationTableModel::SortRole);
    setHorizontalHeader(new ExaminationTableHeader(Qt::Horizontal, this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSortIndicator(ExaminationTableModel::ExamDate, Qt::AscendingOrder);

    auto *copyAction = new QAction(tr("Copy"), this);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copyAction, &QAction::triggered, this, &ExaminationTableView::copy);
    addAction(copyAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void ExaminationTableView::setExaminationModel(ExaminationTableModel *model)
{
    m_sorted->setSourceModel(model);
    setModel(m_sorted);
    // The window shows the patient's identifier and name already.
    setColumnHidden(ExaminationTableModel::Identifier, true);
    setColumnHidden(ExaminationTableModel::Name, true);
    setSortingEnabled(true);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ExaminationTableView::onCurrentRowChanged);
}

void ExaminationTableView::selectExamination(quint64 exam)
{
    QAbstractItemModel *source = m_sorted->sourceModel();
    if (!source || !selectionModel() || exam >= quint64(source->rowCount()))
        return;
    // Keep the column of the cell the user is on; the first columns are hidden.
    const int column = currentIndex().isValid() ? currentIndex().column()
                                                : int(ExaminationTableModel::ExamDate);
    const QModelIndex shown = m_sorted->mapFromSource(source->index(int(exam), column));
    if (selectionModel()->currentIndex().row() == shown.row()
        && selectionModel()->isRowSelected(shown.row(), QModelIndex()))
        return;
    m_selectingExamination = true;
    selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect
                                                     | QItemSelectionModel::Rows);
    m_selectingExamination = false;
    scrollTo(shown);
}

void ExaminationTableView::onCurrentRowChanged(const QModelIndex &current)
{
    if (m_selectingExamination || !current.isValid())
        return;
    emit examinationChosen(quint64(m_sorted->mapToSource(current).row()));
}

QString ExaminationTableView::copyText() const
{
    QList<int> rows;
    if (selectionModel()) {
        for (const QModelIndex &index : selectionModel()->selectedRows())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return TableText::tabSeparated(*m_sorted, rows);
}

void ExaminationTableView::copy()
{
    QApplication::clipboard()->setText(copyText());
}

void ExaminationTableView::copyAll()
{
    QApplication::clipboard()->setText(TableText::tabSeparated(*m_sorted));
}
