// Kolmogorov-Smirnov normality test of a peak's marker positions at the 5 %
// level.
#pragma once
#include "numerics/vector_ops.h"

// True when the binned positions are compatible with a normal distribution
// at the 5 % level; an empty vector passes.
bool positionsLookNormal(const IntVector& positions);
// How many positions lie in each bin lower[j] <= x < upper[j]; a position in
// overlapping bins counts in each. O(n log bins) when the bins follow one
// another, as the test's equal-width bins do.
DoubleVector binContents(const IntVector& positions, const DoubleVector& lower, const DoubleVector& upper);
// Critical value D(n) at the 5 % level for a sample of `total` binned
// positions: the table, linear interpolation between its rows, and
// 1.36 / sqrt(n) above 50.
double kolmogorovCritical(int total);
