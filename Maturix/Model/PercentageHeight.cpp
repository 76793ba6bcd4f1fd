#include "PercentageHeight.h"

#include <cmath>
#include <cstddef>
#include <iterator>

namespace {
struct Step
{
    double boneAge; // "at least"
    double average;
    double accelerated;
    double delayed;
};

constexpr Step maleSteps[] = {
    { 6.00, 0, 0, 68 },         { 6.25, 0, 0, 69 },         { 6.50, 0, 0, 70 },
    { 6.75, 0, 0, 70.9 },       { 7.00, 69.5, 67, 71.8 },   { 7.25, 70.2, 67.6, 72.8 },
    { 7.50, 70.9, 68.3, 73.8 }, { 7.75, 71.6, 68.9, 74.7 }, { 8.00, 72.3, 69.6, 75.6 },
    { 8.25, 73.1, 70.3, 76.5 }, { 8.50, 73.9, 70.9, 77.3 }, { 8.75, 74.6, 71.5, 77.9 },
    { 9.00, 75.2, 72, 78.6 },   { 9.25, 76.1, 72.8, 79.4 }, { 9.50, 76.9, 73.4, 80 },
    { 9.75, 77.7, 74.1, 80.7 }, { 10.00, 78.4, 74.7, 81.2 }, { 10.25, 79.1, 75.3, 81.6 },
    { 10.50, 79.5, 75.8, 81.9 }, { 10.75, 80, 76.3, 82.1 },  { 11.00, 80.4, 76.7, 82.3 },
    { 11.25, 81.2, 77.6, 82.7 }, { 11.50, 81.8, 78.6, 83.2 }, { 11.75, 82.7, 80, 83.9 },
    { 12.00, 83.4, 80.9, 84.5 }, { 12.25, 84.3, 81.8, 85.2 }, { 12.50, 85.3, 82.8, 86 },
    { 12.75, 86.3, 83.9, 86.9 }, { 13.00, 87.6, 85, 88 },     { 13.25, 89, 86.3, 0 },
    { 13.50, 90.2, 87.5, 0 },    { 13.75, 91.4, 89, 0 },      { 14.00, 92.7, 90.5, 0 },
    { 14.25, 93.8, 91.8, 0 },    { 14.50, 94.8, 93, 0 },      { 14.75, 95.8, 94.3, 0 },
    { 15.00, 96.8, 95.8, 0 },    { 15.25, 97.3, 96.7, 0 },    { 15.50, 97.6, 97.1, 0 },
    { 15.75, 98, 97.6, 0 },      { 16.00, 98.2, 98, 0 },      { 16.25, 98.5, 98.3, 0 },
    { 16.50, 98.7, 98.5, 0 },    { 16.75, 98.9, 98.8, 0 },    { 17.00, 99.1, 99, 0 },
    { 17.25, 99.3, 99, 0 },      { 17.50, 99.4, 99, 0 },      { 17.75, 99.5, 99, 0 },
    { 18.00, 99.6, 99, 0 },      { 18.25, 99.8, 99, 0 },      { 18.50, 100, 99, 0 },
};

// Girls step at 6y 10m, 7y 10m and 8y 10m; these thresholds are the same
// doubles as the girls' standards 15 to 17, so those standards meet them.
constexpr Step femaleSteps[] = {
    { 6.00, 72, 0, 73.3 },          { 6.25, 72.9, 0, 74.2 },        { 6.50, 73.8, 0, 75.1 },
    { 82 / 12.0, 75.1, 0, 76.3 },   { 7.00, 75.7, 71.2, 77 },       { 7.25, 76.5, 72.2, 77.9 },
    { 7.50, 77.2, 73.2, 78.8 },     { 94 / 12.0, 78.2, 74.2, 79.7 }, { 8.00, 79, 75, 80.4 },
    { 8.25, 80.1, 76, 81.3 },       { 8.50, 81, 77.1, 82.3 },       { 106 / 12.0, 82.1, 78.4, 83.6 },
    { 9.00, 82.7, 79, 84.1 },       { 9.25, 83.6, 80, 85.1 },       { 9.50, 84.4, 80.9, 85.8 },
    { 9.75, 85.3, 81.9, 86.6 },     { 10.00, 86.2, 82.8, 87.4 },    { 10.25, 87.4, 84.1, 88.4 },
    { 10.50, 88.4, 85.6, 89.6 },    { 10.75, 89.6, 87, 90.7 },      { 11.00, 90.6, 88.3, 91.8 },
    { 11.25, 91, 88.7, 92.2 },      { 11.50, 91.4, 89.1, 92.6 },    { 11.75, 91.8, 89.7, 92.9 },
    { 12.00, 92.2, 90.1, 93.2 },    { 12.25, 93.2, 91.3, 94.2 },    { 12.50, 94.1, 92.4, 94.9 },
    { 12.75, 95, 93.5, 95.7 },      { 13.00, 95.8, 94.5, 96.4 },    { 13.25, 96.7, 95.5, 97.1 },
    { 13.50, 97.4, 96.3, 97.7 },    { 13.75, 97.8, 96.8, 98.1 },    { 14.00, 98, 97.2, 98.3 },
    { 14.25, 98.3, 97.7, 98.6 },    { 14.50, 98.6, 98, 98.9 },      { 14.75, 98.8, 98.3, 99.2 },
    { 15.00, 99, 98.6, 99.4 },      { 15.25, 99.1, 98.8, 99.5 },    { 15.50, 99.3, 99, 99.6 },
    { 15.75, 99.4, 99.2, 99.7 },    { 16.00, 99.6, 99.3, 99.8 },    { 16.25, 99.6, 99.4, 99.9 },
    { 16.50, 99.7, 99.5, 99.9 },    { 16.75, 99.8, 99.7, 99.95 },   { 17.00, 99.9, 99.8, 100 },
    { 17.50, 99.95, 99.95, 100 },   { 18.00, 100, 99.95, 100 },
};

static_assert(std::size(maleSteps) == 51);
static_assert(std::size(femaleSteps) == 47);

template<std::size_t N>
double lookUp(const Step (&steps)[N], double Step::*column, double boneAge)
{
    // Highest threshold first; the first one the bone age reaches wins.
    for (std::size_t i = N; i-- > 0;) {
        if (boneAge >= steps[i].boneAge)
            return steps[i].*column;
    }
    return 0.0;
}

double choose(double chronologicalAge, double boneAge, double (*average)(double),
              double (*accelerated)(double), double (*delayed)(double))
{
    if (std::fabs(boneAge - chronologicalAge) < 1.0)
        return average(boneAge);
    if (boneAge - chronologicalAge >= 1.0)
        return accelerated(boneAge);
    if (chronologicalAge - boneAge >= 1.0)
        return delayed(boneAge);
    return 0.0;
}
} // namespace

double AverageMalePercentageHeight(double boneAge)
{
    return lookUp(maleSteps, &Step::average, boneAge);
}

double AcceleratedMalePercentageHeight(double boneAge)
{
    return lookUp(maleSteps, &Step::accelerated, boneAge);
}

double DelayedMalePercentageHeight(double boneAge)
{
    return lookUp(maleSteps, &Step::delayed, boneAge);
}

double AverageFemalePercentageHeight(double boneAge)
{
    return lookUp(femaleSteps, &Step::average, boneAge);
}

double AcceleratedFemalePercentageHeight(double boneAge)
{
    return lookUp(femaleSteps, &Step::accelerated, boneAge);
}

double DelayedFemalePercentageHeight(double boneAge)
{
    return lookUp(femaleSteps, &Step::delayed, boneAge);
}

double MalePercentageHeight(double chronologicalAge, double boneAge)
{
    return choose(chronologicalAge, boneAge, AverageMalePercentageHeight,
                  AcceleratedMalePercentageHeight, DelayedMalePercentageHeight);
}

double FemalePercentageHeight(double chronologicalAge, double boneAge)
{
    return choose(chronologicalAge, boneAge, AverageFemalePercentageHeight,
                  AcceleratedFemalePercentageHeight, DelayedFemalePercentageHeight);
}

double FinalHeight(double height, double fraction)
{
    return height / fraction;
}
