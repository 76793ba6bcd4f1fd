#pragma once

#include <QAbstractTableModel>

class MaturixAssessment;

// One row per examination, in the patient's list order (date order), with
// the texts of the window and the legend split into columns, and the
// changes between visits. Every value is asked of the assessment when shown:
// the model keeps no copy, so refresh() after an edit is all it needs.
// Texts are for reading and copying; SortRole gives numbers as numbers and
// dates as dates, with missing values left invalid so that they sort last.
class ExaminationTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Identifier,
        Name,
        ExamDate,
        ChronologicalAge,
        BoneAge,
        SDScore,
        MeanBoneAgeAndSD,
        BoneAgeMinusChronologicalAge,
        Height,
        PercentageStature,
        PredictedAdultHeight,
        BoneAgeAdvance,
        HeightVelocity,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole + 1;

    // The assessment is not owned and must outlive the model.
    explicit ExaminationTableModel(const MaturixAssessment *assessment, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The patient or its examinations changed: every row is read again.
    void refresh();
    // The columns that tell the child's age, withheld while blind reading
    // hides it.
    static bool givesAgeAway(int column);

private:
    QString text(quint64 exam, int column) const;
    QVariant sortValue(quint64 exam, int column) const;

    const MaturixAssessment *m_assessment;
    int m_rowCount = 0;
};
