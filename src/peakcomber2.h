// Peak shape metrics: seven small measurements of one peak's values and
// positions, written into the report row.
#pragma once
#include "peakcomber3.h"

#include <string>

// Fraction of neighbour steps that rise toward the summit.
double monotony(DoubleVector myVect, int minloc);
// Fraction of values exactly equal to max.
double peakmultiplicity(DoubleVector myVect, double max);
// Fraction of values equal to their predecessor (the first is compared with -1).
double repetitions(DoubleVector myVect);
// Height per 1,000,000 position units of width.
double heighttowidth(IntVector myLoc, double maxpval);
// Count ratio, tab, sum ratio of the values at or above the mean to those below.
std::string verticalBalance(DoubleVector Pv);
// Summit value over the mean value.
double maxByMean(DoubleVector Pv, int maxloc);
// Count ratio, tab, sum ratio of the right flank to the left flank.
std::string skew(DoubleVector Pv, int maxloc);
