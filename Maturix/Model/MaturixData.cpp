#include "MaturixData.h"

#include "Gender.h"

namespace {
struct Row
{
    double age, maleMean, maleSD, femaleMean, femaleSD;
};

// Greulich and Pyle, 2nd ed. Means and SDs in months; the female table
// ends at 15 years (a negative mean marks a row it does not have).
constexpr Row referenceRows[] = {
    { 1.0, 12.7, 2.1, 12.7, 2.7 },      { 1.5, 17.5, 2.7, 18.4, 3.4 },
    { 2.0, 22.6, 4.0, 23.7, 4.0 },      { 2.5, 28.1, 5.4, 29.0, 4.8 },
    { 3.0, 33.8, 6.0, 34.5, 5.6 },      { 3.5, 39.5, 6.6, 40.6, 6.5 },
    { 4.0, 44.8, 7.0, 46.4, 7.2 },      { 4.5, 50.3, 7.8, 52.3, 8.0 },
    { 5.0, 56.2, 8.4, 58.1, 8.6 },      { 5.5, 62.4, 9.1, 63.9, 8.9 },
    { 6.0, 68.4, 9.3, 70.4, 9.0 },      { 7.0, 80.6, 10.1, 82.0, 8.3 },
    { 8.0, 92.5, 10.8, 94.0, 8.8 },     { 9.0, 104.9, 11.0, 105.9, 9.3 },
    { 10.0, 118.0, 11.4, 119.0, 10.8 }, { 11.0, 132.1, 10.5, 132.9, 12.3 },
    { 12.0, 144.5, 10.4, 147.2, 14.0 }, { 13.0, 156.4, 11.1, 160.3, 14.6 },
    { 14.0, 168.5, 12.0, 172.4, 12.6 }, { 15.0, 180.7, 14.2, 184.3, 11.2 },
    { 16.0, 193.0, 15.1, -1.0, -1.0 },  { 17.0, 206.0, 15.4, -1.0, -1.0 },
};
} // namespace

MaturixData::MaturixData()
{
    for (const Row &r : referenceRows) {
        m_maleTRDataArray.push_back(std::make_unique<MaturixDatum>(r.age, r.maleMean, r.maleSD));
        if (r.femaleMean >= 0.0)
            m_femaleTRDataArray.push_back(
                    std::make_unique<MaturixDatum>(r.age, r.femaleMean, r.femaleSD));
    }
}

quint64 MaturixData::numberOfRecordsForGender(qint64 gender) const
{
    return gender == Gender::Male ? m_maleTRDataArray.size() : m_femaleTRDataArray.size();
}

const MaturixDatum *MaturixData::row(quint64 index, qint64 gender) const
{
    const auto &rows = gender == Gender::Male ? m_maleTRDataArray : m_femaleTRDataArray;
    return index < rows.size() ? rows[index].get() : nullptr;
}

double MaturixData::chronologicalAgeForIndex(quint64 index, qint64 gender) const
{
    const MaturixDatum *datum = row(index, gender);
    return datum ? datum->chronologicalAge() : 0.0;
}

double MaturixData::meanMaturixForIndex(quint64 index, qint64 gender) const
{
    if (gender != Gender::Male && gender != Gender::Female)
        return 0.0;
    const MaturixDatum *datum = row(index, gender);
    return datum ? datum->meanMaturix() / 12.0 : 0.0;
}

double MaturixData::standardDeviationForIndex(quint64 index, qint64 gender) const
{
    if (gender != Gender::Male && gender != Gender::Female)
        return 0.0;
    const MaturixDatum *datum = row(index, gender);
    return datum ? datum->sd() / 12.0 : 0.0;
}
