// The standard normal table: Phi at z = -5.000 .. 5.000 in steps of 0.001,
// rounded to a few significant digits, for the normality test.
#pragma once
#include "peakcomber3.h"

extern DoubleVector Zscore;
extern DoubleVector Fx;

// Appends the 10001 grid points and their rounded Phi values.
void setZ();
// Phi(z) written by the table's rounding rule, as the nearest double.
double roundedPhi(double z);
