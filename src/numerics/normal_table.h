// The standard normal table: Phi at z = -5.000 .. 5.000 in steps of 0.001,
// rounded to a few significant digits, and the normal probability read from
// it by linear interpolation.
#pragma once

// Normal probability of z by linear interpolation in the table; 0.9999999
// above the table (and for a z that is not a number), 1e-7 below it.
double normalProbability(double z);
// Phi(z) written by the table's rounding rule, as the nearest double.
double roundedPhi(double z);
