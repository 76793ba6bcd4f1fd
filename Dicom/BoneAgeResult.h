#pragma once

#include <QDate>
#include <QString>

#include <optional>

// The results of one examination as they leave Maturix: in a structured
// report, in FHIR, read back from either. Values are the exact ones, never
// the rounded texts; a missing value was not assessed or not measured.
struct BoneAgeResult
{
    // Invalid when the examination has no date.
    QDate examDate;
    // The atlas standard matched, as the reader picks it ("11y 6m"); empty
    // when not assessed.
    QString standard;
    // Ages in years, heights in cm.
    std::optional<double> boneAge;
    std::optional<double> chronologicalAge;
    // The reference mean bone age and its SD for the chronological age.
    std::optional<double> meanBoneAge;
    std::optional<double> standardDeviation;
    // (bone age - mean) / SD.
    std::optional<double> sdScore;
    std::optional<double> height;
    // Percentage of adult height reached, and the adult height it predicts.
    std::optional<double> percentageOfAdultHeight;
    std::optional<double> predictedAdultHeight;

    bool isAssessed() const { return boneAge.has_value(); }
};
