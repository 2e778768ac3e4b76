// Kolmogorov-Smirnov normality test of a peak's marker positions at the 5 %
// level.
#pragma once
#include "vector_ops.h"

// True when the binned positions are compatible with a normal distribution
// at the 5 % level; an empty vector passes.
bool positionsLookNormal(const IntVector& positions);
// Critical value D(n) at the 5 % level for a sample of `total` binned
// positions: the table, linear interpolation between its rows, and
// 1.36 / sqrt(n) above 50.
double kolmogorovCritical(int total);
