// Kolmogorov-Smirnov normality test of a peak's marker positions.
#pragma once
#include "peakcomber3.h"

// 1 when the binned positions are compatible with a normal distribution at
// the 5 % level, 0 when normality is rejected. An empty vector gives 1.
int doKolmogorov(IntVector myLoc);
// Normal probability of z by linear interpolation in the standard normal
// table; 0.9999999 above the table (and for a z that is not a number), 1e-7
// below it.
double normalProbability(double z);
// Critical value for a sample of total binned positions.
double kolmogorovCritical(int total);
