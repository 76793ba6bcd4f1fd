#pragma once

#include "BoneAgeResult.h"

#include <QList>

class MaturixAssessment;

// The results of a patient's examinations, taken from the same operations
// as the window, the legend and the table.
class BoneAgeResults
{
public:
    static BoneAgeResult ofExamination(const MaturixAssessment &assessment, quint64 examIndex);
    // Every examination of the assessment's patient, in the file's order.
    static QList<BoneAgeResult> ofPatient(const MaturixAssessment &assessment);
};
