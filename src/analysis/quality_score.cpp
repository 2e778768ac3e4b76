// Ordinal logistic model with four cut points on a linear score of the
// standardised logarithms of height and best slope.
#include "analysis/quality_score.h"

#include <cmath>

namespace {
constexpr double kCutPoints[4] = {-2.5384, -0.8389, 0.8185, 2.7255};
constexpr double kHeightWeight = 1.69907;
constexpr double kSlopeWeight = 1.01537;
} // namespace

double qualityScore(double height, double bestSlope)
{
    const double h = (std::log(height) - 2.23) / 0.63;
    const double s = (std::log(bestSlope) + 3.89) / 2.37;
    const double score = kHeightWeight * h + kSlopeWeight * s;
    double atMost[4]; // P(grade <= k + 1)
    for (int k = 0; k < 4; ++k)
        atMost[k] = 1 / (1 + std::exp(-(kCutPoints[k] - score)));
    const double p1 = atMost[0];
    const double p2 = atMost[1] - atMost[0];
    const double p3 = atMost[2] - atMost[1];
    const double p4 = atMost[3] - atMost[2];
    const double p5 = 1 - atMost[3];
    return (((2 * p2 + p1) + 3 * p3) + 4 * p4) + 5 * p5;
}
