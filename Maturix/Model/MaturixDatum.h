#pragma once

// One row of the reference table: a chronological age (years) with the mean
// bone age and its standard deviation (both in months) at that age.
class MaturixDatum
{
public:
    MaturixDatum() = default;
    MaturixDatum(double chronologicalAge, double meanMaturix, double sd)
        : m_chronologicalAge(chronologicalAge), m_meanMaturix(meanMaturix), m_sd(sd)
    {
    }

    double chronologicalAge() const { return m_chronologicalAge; }
    void setChronologicalAge(double value) { m_chronologicalAge = value; }
    double meanMaturix() const { return m_meanMaturix; }
    void setMeanMaturix(double value) { m_meanMaturix = value; }
    double sd() const { return m_sd; }
    void setSD(double value) { m_sd = value; }

private:
    double m_chronologicalAge = 0.0;
    double m_meanMaturix = 0.0;
    double m_sd = 0.0;
};
