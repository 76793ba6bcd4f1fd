#include "AssessmentReport.h"

#include "MaturixAssessment.h"

AssessmentReport::AssessmentReport(const MaturixAssessment &assessment, quint64 examIndex)
    : m_assessment(assessment), m_examIndex(examIndex)
{
}

QJsonObject AssessmentReport::toJson() const
{
    const quint64 i = m_examIndex;
    const MaturixAssessment &a = m_assessment;
    return QJsonObject {
        { QStringLiteral("chronologicalAge"), a.chronologicalAgeForRecord(i) },
        { QStringLiteral("chronologicalAgeString"), a.chronologicalAgeStringForRecord(i) },
        { QStringLiteral("maturix"), a.maturixForRecord(i) },
        { QStringLiteral("maturixString"), a.maturixStringForRecord(i) },
        { QStringLiteral("meanMaturix"), a.meanMaturixForRecord(i) },
        { QStringLiteral("standardDeviation"), a.standardDeviationForRecord(i) },
        { QStringLiteral("meanMaturixAndSDString"), a.meanMaturixAndSDStringForRecord(i) },
        { QStringLiteral("percentageHeightAchieved"), a.percentageHeightAchievedForRecord(i) },
        { QStringLiteral("percentageHeightAchievedString"),
          a.percentageHeightAchievedStringForRecord(i) },
        { QStringLiteral("height"), a.heightForRecord(i) },
    };
}

QString AssessmentReport::toText(const QString &indent) const
{
    const quint64 i = m_examIndex;
    const MaturixAssessment &a = m_assessment;
    const auto number = [](double value) { return QString::number(value, 'g', QLocale::FloatingPointShortest); };
    QString text;
    const auto line = [&](const QString &label, const QString &value) {
        text += indent + label + QStringLiteral(": ") + value + u'\n';
    };
    line(QStringLiteral("Chronological age"),
         QStringLiteral("%1 (%2 years)")
                 .arg(a.chronologicalAgeStringForRecord(i), number(a.chronologicalAgeForRecord(i))));
    line(QStringLiteral("Bone age"),
         QStringLiteral("%1 (%2 years)").arg(a.maturixStringForRecord(i), number(a.maturixForRecord(i))));
    line(QStringLiteral("Mean bone age (SD)"),
         QStringLiteral("%1 (mean %2 years, SD %3 years)")
                 .arg(a.meanMaturixAndSDStringForRecord(i), number(a.meanMaturixForRecord(i)),
                      number(a.standardDeviationForRecord(i))));
    const double height = a.heightForRecord(i);
    line(QStringLiteral("Height"),
         height > 0.0 ? QStringLiteral("%1 cm").arg(number(height)) : QStringLiteral("-"));
    line(QStringLiteral("Adult height reached"),
         QStringLiteral("%1 (%2%)")
                 .arg(a.percentageHeightAchievedStringForRecord(i),
                      number(a.percentageHeightAchievedForRecord(i))));
    return text;
}
