// Critical values of the one-sample Kolmogorov-Smirnov test at the 5 % level.
#pragma once
#include "peakcomber3.h"

extern IntVector KolmoN;
extern DoubleVector KolmoV;

// Appends the 27 (sample size, critical value) pairs; above 50 the test uses
// 1.36 / sqrt(n).
void kolmogorov005();
