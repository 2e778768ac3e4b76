// Peak shape metrics: small measurements of one peak's values and positions.
// Guarded quotients fall back to 0; an empty vector or a summit index
// outside it gives 0.
#pragma once
#include "numerics/vector_ops.h"

// Two ratios of the same split of a peak: of marker counts and of value sums.
struct SplitRatios {
    double counts = 0;
    double sums = 0;
};

// Share of neighbour steps that rise toward the summit at index summit.
double monotony(const DoubleVector& values, int summit);
// Share of values exactly equal to max.
double summitMultiplicity(const DoubleVector& values, double max);
// Share of values equal to their predecessor (the first is compared with -1).
double repetitionShare(const DoubleVector& values);
// Height per 1,000,000 position units of width (last - first + 1).
double heightPerMegabase(const IntVector& positions, double height);
// Values at or above the mean against those below it.
SplitRatios verticalBalance(const DoubleVector& values);
// Summit value over the mean value.
double summitOverMean(const DoubleVector& values, int summit);
// The right flank against the left flank of the summit; a run of
// consecutive summit values counts as one summit.
SplitRatios flankBalance(const DoubleVector& values, int summit);
