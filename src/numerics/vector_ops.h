// Small operations on vectors of marker positions and values that the peak
// analysis is written in. Maxima and minima start from fixed sentinels and
// never take a NaN, so their results are defined for every input.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using IntVector = std::vector<int32_t>;
using DoubleVector = std::vector<double>;

// The sentinels the running maxima and minima start from: an empty vector
// gives these.
constexpr double kNoMaximum = -999999999.9;
constexpr double kNoMinimum = 999999999.9;

// -log10(x); 0.0 for x <= 0 and for NaN.
double negativeLog10(double x);
// -log10(x) of every element; 0.0 for x <= 0 and for NaN.
DoubleVector negativeLog10(DoubleVector values);
// Absolute value of every element.
DoubleVector absoluteValues(DoubleVector values);
// Element-wise product; elements of a missing b count as 0.
DoubleVector elementProducts(DoubleVector a, const DoubleVector& b);

// Largest element, starting from kNoMaximum; NaN never replaces it.
double largestValue(const DoubleVector& values);
// Smallest element, starting from kNoMinimum; NaN never replaces it.
double smallestValue(const DoubleVector& values);
// The running maximum continued from r over first..last (last excluded).
double runningMax(double r, const double* first, const double* last);
// Index of the first largest element, starting from -9999999.9 at index 0
// (so 0 when every element is below that, or the vector is empty).
int firstMaxIndex(const DoubleVector& values);

// Elements max(a - overhang, 0) .. min(b + overhang, size - 1), inclusive;
// empty when that range is empty.
template <typename V>
V windowAround(const V& v, int a, int b, int overhang)
{
    const int64_t size = static_cast<int64_t>(v.size());
    const int64_t start = a - int64_t(overhang) > 0 ? a - int64_t(overhang) : 0;
    const int64_t end = b + int64_t(overhang) < size - 1 ? b + int64_t(overhang) : size - 1;
    if (start > end)
        return V();
    return V(v.begin() + start, v.begin() + end + 1);
}

// v without its first `front` and last `back` elements (empty when fewer).
template <typename V>
V dropEnds(const V& v, int front, int back)
{
    const int64_t size = static_cast<int64_t>(v.size());
    const int64_t start = front > 0 ? front : 0;
    const int64_t stop = size - (back > 0 ? back : 0);
    if (start >= stop)
        return V();
    return V(v.begin() + start, v.begin() + stop);
}
