#pragma once

#include "MaturixData.h"
#include "PatientRecord.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The per-examination results of an assessment and their texts. The patient
// document owns one and forwards its calculations to it; the command-line
// tool uses it without a window. Every call reads the record and the
// standards afresh: nothing is cached.
class MaturixAssessment
{
public:
    // Builds the reference table and both standards lists.
    MaturixAssessment();

    // The record is not owned and may be replaced at any time.
    void setPatientRecord(const PatientRecord *record) { m_record = record; }
    const PatientRecord *patientRecord() const { return m_record; }

    const MaturixData &maturixData() const { return m_maturixData; }
    void addDataPointToMaleChronologicalData(double boneAge);
    void addDataPointToFemaleChronologicalData(double boneAge);
    const std::vector<double> &maleChronologicalAgeDataPoints() const { return m_male; }
    const std::vector<double> &femaleChronologicalAgeDataPoints() const { return m_female; }

    // The standards a reader picks from for a sex: "-" first, then each bone
    // age as "%dy %dm". Any sex but male or female offers "-" alone.
    QStringList standardTitlesForGender(qint64 gender) const;
    static QString titleForBoneAge(double boneAge);
    // The examination's standard index, or 0 (not assessed) when it lies
    // outside the list of the patient's current sex.
    qint64 validMaturixIndexForRecord(quint64 i) const;

    QString examDateStringForRecord(quint64 i) const;
    double chronologicalAgeForRecord(quint64 i) const;
    QString chronologicalAgeStringForRecord(quint64 i) const;
    double maturixForRecord(quint64 i) const;
    QString maturixStringForRecord(quint64 i) const;
    double meanMaturixForRecord(quint64 i) const;
    double standardDeviationForRecord(quint64 i) const;
    QString meanMaturixAndSDStringForRecord(quint64 i) const;
    double heightForRecord(quint64 i) const;
    double percentageHeightAchievedForRecord(quint64 i) const;
    QString percentageHeightAchievedStringForRecord(quint64 i) const;

    // The pieces of the texts above, for a table with one value per column.
    // "-" where the value is missing, like the texts they make up.
    QString maturixTitleForRecord(quint64 i) const;
    // A standard of the patient's sex is matched.
    bool isAssessed(quint64 i) const;
    // (bone age - mean) / SD; none when not assessed or without an SD.
    std::optional<double> sdScoreForRecord(quint64 i) const;
    QString sdScoreStringForRecord(quint64 i) const;
    // Bone age minus chronological age, years; none when either is missing.
    std::optional<double> maturixMinusChronologicalAgeForRecord(quint64 i) const;
    // Signed, rounded to whole months: "+1y 2m", "-0y 7m".
    QString maturixMinusChronologicalAgeStringForRecord(quint64 i) const;
    QString heightStringForRecord(quint64 i) const;
    QString percentageStringForRecord(quint64 i) const;
    // Height / percentage reached; 0.0 without a height or a percentage.
    double predictedAdultHeightForRecord(quint64 i) const;
    QString predictedAdultHeightStringForRecord(quint64 i) const;

    // Between visits: examination i against the dated examination before it
    // in date order, wherever the list keeps it. Both need an interval of at
    // least three calendar months, so two films of one visit give none.
    std::optional<quint64> previousDatedExamForRecord(quint64 i) const;
    // Change of bone age per year of chronological age; both assessed.
    std::optional<double> maturixAdvanceForRecord(quint64 i) const;
    QString maturixAdvanceStringForRecord(quint64 i) const;
    // Change of height in cm per year; both heights measured.
    std::optional<double> heightVelocityForRecord(quint64 i) const;
    QString heightVelocityStringForRecord(quint64 i) const;
    static constexpr qint64 minimumMonthsBetweenVisits = 3;

    // Blind reading: while on, an examination whose standard is not yet
    // matched keeps from the reader everything that gives the child's age
    // away. The values themselves never change; the views ask this.
    void setBlindReading(bool on) { m_blindReading = on; }
    bool blindReading() const { return m_blindReading; }
    bool hidesAgeForRecord(quint64 i) const;

    // The interpolations behind the per-examination mean and SD, for a
    // chronological age in years.
    double meanMaturixForAge(double age, qint64 gender) const;
    double standardDeviationForAge(double age, qint64 gender) const;
    static QString meanMaturixAndSDString(double mean, double sd);

    double chronologicalAgeForIndex(quint64 index, qint64 gender) const;
    double meanMaturixForIndex(quint64 index, qint64 gender) const;
    double standardDeviationForIndex(quint64 index, qint64 gender) const;

private:
    const TRRecord *exam(quint64 i) const;
    qint64 gender() const;
    const std::vector<double> *standardsForGender(qint64 gender) const;
    // Years between the examination and the dated one before it, when they
    // lie far enough apart.
    std::optional<double> yearsSincePreviousVisit(quint64 i, quint64 *previous) const;

    MaturixData m_maturixData;
    std::vector<double> m_male;
    std::vector<double> m_female;
    const PatientRecord *m_record = nullptr;
    bool m_blindReading = false;
};
