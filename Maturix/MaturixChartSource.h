#pragma once

#include <QtGlobal>

class MaturixAssessment;

// What the bone-age chart reads while it draws: the patient with every
// derived value, and which examinations to mark. The patient document is
// one; a patient file drawn without a window is another.
class MaturixChartSource
{
public:
    virtual ~MaturixChartSource() = default;

    virtual const MaturixAssessment &assessment() const = 0;
    virtual quint64 currentExam() const = 0;
    virtual quint64 lastExam() const = 0;
    // True only while drawing to the screen, never for images or printing.
    virtual bool shouldShowGraphHilite() const = 0;
};
