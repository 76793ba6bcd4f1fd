#include "BoneAgeResults.h"

#include "MaturixAssessment.h"

BoneAgeResult BoneAgeResults::ofExamination(const MaturixAssessment &a, quint64 i)
{
    BoneAgeResult result;
    const PatientRecord *patient = a.patientRecord();
    const TRRecord *exam = patient ? patient->examination(i) : nullptr;
    if (!exam)
        return result;
    if (exam->examDate())
        result.examDate = exam->examDate()->toLocalDateTime().date();
    // The operations report 0 for what they cannot compute.
    const auto known = [](double value) {
        return value != 0.0 ? std::optional<double>(value) : std::nullopt;
    };
    const double age = a.chronologicalAgeForRecord(i);
    // No age before a birth, as on the chart.
    if (age > 0.0) {
        result.chronologicalAge = age;
        result.meanBoneAge = known(a.meanMaturixForRecord(i));
        result.standardDeviation = known(a.standardDeviationForRecord(i));
    }
    if (a.isAssessed(i)) {
        result.standard = a.maturixTitleForRecord(i);
        result.boneAge = a.maturixForRecord(i);
        result.sdScore = a.sdScoreForRecord(i);
    }
    result.percentageOfAdultHeight = known(a.percentageHeightAchievedForRecord(i));
    if (a.heightForRecord(i) > 0.0)
        result.height = a.heightForRecord(i);
    result.predictedAdultHeight = known(a.predictedAdultHeightForRecord(i));
    return result;
}

QList<BoneAgeResult> BoneAgeResults::ofPatient(const MaturixAssessment &assessment)
{
    QList<BoneAgeResult> results;
    const PatientRecord *patient = assessment.patientRecord();
    if (!patient)
        return results;
    for (quint64 i = 0; i < patient->trRecordsArray().size(); ++i)
        results.append(ofExamination(assessment, i));
    return results;
}
