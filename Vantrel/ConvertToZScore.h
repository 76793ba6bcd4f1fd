#pragma once

#include "VantrelExport.h"

// Standard normal deviate for a one-sided tail probability p, by the rational
// approximation of Abramowitz and Stegun 26.2.23 (|error| < 4.5e-4).
// Small p gives a positive deviate: p = 0.025 gives about +1.96.
VANTREL_EXPORT double ConvertToZScore(double p);
