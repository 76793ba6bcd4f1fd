#include "ExaminationTableModel.h"

#include "MaturixAssessment.h"

#include <optional>

namespace {
QVariant number(const std::optional<double> &value)
{
    return value ? QVariant(*value) : QVariant();
}

// Zero is how the model says "missing" for these values.
QVariant nonZero(double value)
{
    return value != 0.0 ? QVariant(value) : QVariant();
}
} // namespace

ExaminationTableModel::ExaminationTableModel(const MaturixAssessment *assessment, QObject *parent)
    : QAbstractTableModel(parent)
    , m_assessment(assessment)
{
    refresh();
}

int ExaminationTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int ExaminationTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

void ExaminationTableModel::refresh()
{
    const PatientRecord *record = m_assessment->patientRecord();
    const int rows = record ? int(record->trRecordsArray().size()) : 0;
    if (rows != m_rowCount) {
        beginResetModel();
        m_rowCount = rows;
        endResetModel();
    } else if (rows > 0) {
        // Same rows: a selection on them survives.
        emit dataChanged(index(0, 0), index(rows - 1, ColumnCount - 1));
    }
}

bool ExaminationTableModel::givesAgeAway(int column)
{
    switch (column) {
    case ChronologicalAge:
    case SDScore:
    case MeanBoneAgeAndSD:
    case BoneAgeMinusChronologicalAge:
    case PercentageStature:
    case PredictedAdultHeight:
    case BoneAgeAdvance:
        return true;
    default:
        return false;
    }
}

QVariant ExaminationTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount || index.column() >= ColumnCount)
        return {};
    const quint64 exam = quint64(index.row());
    const int column = index.column();
    const bool hidden = m_assessment->hidesAgeForRecord(exam) && givesAgeAway(column);
    switch (role) {
    case Qt::DisplayRole:
        return hidden ? QString() : text(exam, column);
    case SortRole:
        return hidden ? QVariant() : sortValue(exam, column);
    case Qt::TextAlignmentRole:
        return column >= SDScore && column != MeanBoneAgeAndSD
                ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QString ExaminationTableModel::text(quint64 exam, int column) const
{
    const MaturixAssessment &a = *m_assessment;
    switch (column) {
    case Identifier:
        return a.patientRecord()->referenceString();
    case Name:
        return a.patientRecord()->nameString();
    case ExamDate:
        return a.examDateStringForRecord(exam);
    case ChronologicalAge:
        return a.chronologicalAgeStringForRecord(exam);
    case BoneAge:
        return a.maturixTitleForRecord(exam);
    case SDScore:
        return a.sdScoreStringForRecord(exam);
    case MeanBoneAgeAndSD:
        return a.meanMaturixAndSDStringForRecord(exam);
    case BoneAgeMinusChronologicalAge:
        return a.maturixMinusChronologicalAgeStringForRecord(exam);
    case Height:
        return a.heightStringForRecord(exam);
    case PercentageStature:
        return a.percentageStringForRecord(exam);
    case PredictedAdultHeight:
        return a.predictedAdultHeightStringForRecord(exam);
    case BoneAgeAdvance:
        return a.maturixAdvanceStringForRecord(exam);
    case HeightVelocity:
        return a.heightVelocityStringForRecord(exam);
    default:
        return {};
    }
}

QVariant ExaminationTableModel::sortValue(quint64 exam, int column) const
{
    const MaturixAssessment &a = *m_assessment;
    const TRRecord *record = a.patientRecord()->examination(exam);
    switch (column) {
    case ExamDate:
        return record->examDate() ? QVariant(record->examDate()->secondsSinceReferenceDate())
                                  : QVariant();
    case ChronologicalAge:
        return a.chronologicalAgeStringForRecord(exam) == u"-"
                ? QVariant()
                : QVariant(a.chronologicalAgeForRecord(exam));
    case BoneAge:
        return a.maturixTitleForRecord(exam) == u"-" ? QVariant() : QVariant(a.maturixForRecord(exam));
    case SDScore:
        return number(a.sdScoreForRecord(exam));
    case MeanBoneAgeAndSD:
        return a.meanMaturixAndSDStringForRecord(exam) == u"-"
                ? QVariant()
                : QVariant(a.meanMaturixForRecord(exam));
    case BoneAgeMinusChronologicalAge:
        return number(a.maturixMinusChronologicalAgeForRecord(exam));
    case Height:
        return a.heightForRecord(exam) > 0.0 ? QVariant(a.heightForRecord(exam)) : QVariant();
    case PercentageStature:
        return nonZero(a.percentageHeightAchievedForRecord(exam));
    case PredictedAdultHeight:
        return nonZero(a.predictedAdultHeightForRecord(exam));
    case BoneAgeAdvance:
        return number(a.maturixAdvanceForRecord(exam));
    case HeightVelocity:
        return number(a.heightVelocityForRecord(exam));
    default:
        return text(exam, column);
    }
}

QVariant ExaminationTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::ToolTipRole) {
        switch (section) {
        case BoneAgeMinusChronologicalAge:
            return tr("Bone age minus chronological age, in whole months");
        case BoneAgeAdvance:
            return tr("Change of bone age per year of age since the previous examination, "
                      "when both are assessed and at least three months apart");
        case HeightVelocity:
            return tr("Change of height in cm per year since the previous examination, "
                      "when both heights are measured and at least three months apart");
        default:
            return {};
        }
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Identifier:
        return tr("Identifier");
    case Name:
        return tr("Name");
    case ExamDate:
        return tr("Date");
    case ChronologicalAge:
        return tr("Age");
    case BoneAge:
        return tr("Bone Age");
    case SDScore:
        return tr("SD Score");
    case MeanBoneAgeAndSD:
        return tr("Mean Bone Age (SD)");
    case BoneAgeMinusChronologicalAge:
        return tr("Bone Age - Age");
    case Height:
        return tr("Height (cm)");
    case PercentageStature:
        return tr("% Adult Height");
    case PredictedAdultHeight:
        return tr("Adult Height (cm)");
    case BoneAgeAdvance:
        return tr("Bone Age/Year");
    case HeightVelocity:
        return tr("Height/Year (cm)");
    default:
        return {};
    }
}
