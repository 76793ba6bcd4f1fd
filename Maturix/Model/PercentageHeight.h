#pragma once

// Percentage of adult height reached, after the Bayley-Pinneau tables, and
// the adult height predicted from it. Ages in years, heights in centimetres.
// Each table is a step function of bone age; 0.0 means it has no value.

// Picks the average table when bone age and chronological age differ by less
// than a year, else the accelerated or delayed table; 0.0 for a non-number.
double MalePercentageHeight(double chronologicalAge, double boneAge);
double FemalePercentageHeight(double chronologicalAge, double boneAge);

double AverageMalePercentageHeight(double boneAge);
double AcceleratedMalePercentageHeight(double boneAge);
double DelayedMalePercentageHeight(double boneAge);

double AverageFemalePercentageHeight(double boneAge);
double AcceleratedFemalePercentageHeight(double boneAge);
double DelayedFemalePercentageHeight(double boneAge);

// height / fraction of adult height reached.
double FinalHeight(double height, double fraction);
