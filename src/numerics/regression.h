// Least-squares line of values over positions from raw sums in index order:
// the slope, the fitted value at one point, and the slope of every window.
#pragma once
#include "numerics/vector_ops.h"

// Slope over the n points starting at L and P; 0.0 when it is undefined
// (no points, a zero sum of positions, or NaN).
double slopeAt(const int32_t* L, const double* P, size_t n);
// Fitted value at L[loc] of the line over those n points; 0.0 when loc is
// outside them.
double fittedValueAt(const int32_t* L, const double* P, size_t n, size_t loc);
// Slope of every window of `window` points, stored at the window's middle
// index; elements no window centres on are 0.
DoubleVector windowSlopes(int window, const IntVector& positions, const DoubleVector& values);
