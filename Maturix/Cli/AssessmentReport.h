#pragma once

#include <QJsonObject>
#include <QString>

class MaturixAssessment;

// Every derived value of one examination, as JSON or as readable lines.
class AssessmentReport
{
public:
    AssessmentReport(const MaturixAssessment &assessment, quint64 examIndex);

    QJsonObject toJson() const;
    // One "Label: value" line each, indented by `indent`.
    QString toText(const QString &indent = QString()) const;

private:
    const MaturixAssessment &m_assessment;
    quint64 m_examIndex;
};
