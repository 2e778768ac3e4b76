// Vector toolkit and least-squares regression: small operations on vectors of
// marker positions and of values that the peak analysis is written in. Every
// operation takes its vectors by value and returns a new result.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using IntVector = std::vector<int32_t>;
using DoubleVector = std::vector<double>;

DoubleVector newDoubleVector(int length, double value);
// method 1: -log10(x) for x > 0, else 0.0; other methods: empty.
DoubleVector vectorMath(DoubleVector myVect, int method);
// Elements max(a - overhang, 0) .. min(b + overhang, size - 1), inclusive.
DoubleVector subVector1(DoubleVector myVect, int a, int b, int overhang);
IntVector subVector2(IntVector myVect, int a, int b, int overhang);
// Drops the first a and the last b elements.
DoubleVector clipEnds1(DoubleVector myVect, int a, int b);
IntVector clipEnds2(IntVector myVect, int a, int b);
// Element-wise: 1 sum, 2 difference, 3 quotient (0.0 for a zero divisor),
// 4 product; other methods: zeros.
DoubleVector twoArrays(DoubleVector myVect1, DoubleVector myVect2, int method);
// method 1: largest (from -999999999.9), -1: smallest (from 999999999.9),
// other: 0.0. NaN never replaces the running value.
double minmax(DoubleVector myVect, int method);
// The same without copying the vector, for the scan's hot loop.
double minmaxOf(const DoubleVector& myVect, int method);
// The running maximum of minmax method 1, continued from r over first..last.
double runningMax(double r, const double* first, const double* last);
// First index of the largest (method > 0) or smallest (method <= 0) element,
// starting from -9999999.9 / 9999999.9 at index 0.
int minmaxloc(DoubleVector myVect, int method);
// method > 0: negatives negated; method < 0: positives negated; 0: copy.
DoubleVector samesign(DoubleVector myVect, int method);

// Least-squares slope of Pvec over Lvec from raw sums in index order.
double linreg(IntVector Lvec, DoubleVector Pvec);
// Slope and fitted value at L[loc] over the n points starting at L and P,
// without copying them (the same sums and order as linreg and linreg_val).
double slopeAt(const int32_t* L, const double* P, size_t n);
double fittedValueAt(const int32_t* L, const double* P, size_t n, size_t loc);
// Fitted value of that line at Lvec[loc].
double linreg_val(IntVector Lvec, DoubleVector Pvec, int loc);
// Slope of every window of win points, stored at the window's middle.
DoubleVector derivative(int win, IntVector Lvec, DoubleVector Pvec, DoubleVector Pvec_der1);
