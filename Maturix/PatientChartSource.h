#pragma once

#include "MaturixAssessment.h"
#include "MaturixChartSource.h"

// The chart of a patient without a window, as an export draws it: the
// latest examination on show and never a highlight.
class PatientChartSource : public MaturixChartSource
{
public:
    // The record is not owned; it must outlive the source.
    explicit PatientChartSource(const PatientRecord *record);
    PatientChartSource(const PatientChartSource &) = delete;
    PatientChartSource &operator=(const PatientChartSource &) = delete;

    const MaturixAssessment &assessment() const override { return m_assessment; }
    quint64 currentExam() const override { return lastExam(); }
    // count - 1, or 0 without examinations.
    quint64 lastExam() const override;
    bool shouldShowGraphHilite() const override { return false; }

private:
    MaturixAssessment m_assessment;
};
