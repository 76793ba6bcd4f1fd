#include "ConvertToZScore.h"

#include <cmath>

double ConvertToZScore(double p)
{
    double q = p;
    double sign = 1.0;
    if (p > 0.5) {
        q = 1.0 - p;
        sign = -1.0;
    }
    const double t = std::sqrt(std::log(1.0 / (q * q)));
    const double z = t
            - (2.515517 + 0.802853 * t + 0.010328 * t * t)
                    / (1.0 + 1.432788 * t + 0.189269 * t * t + 0.001308 * t * t * t);
    return z * sign;
}
