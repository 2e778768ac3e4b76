// Vector operations. Sums and maxima run in index order; that order fixes
// every last bit of the results.
#include "numerics/vector_ops.h"

#include <cmath>

double negativeLog10(double x)
{
    return x > 0 ? -std::log10(x) : 0.0;
}

DoubleVector negativeLog10(DoubleVector values)
{
    for (double& x : values)
        x = x > 0 ? -std::log10(x) : 0.0;
    return values;
}

DoubleVector absoluteValues(DoubleVector values)
{
    for (double& x : values)
        if (x < 0)
            x = -x;
    return values;
}

DoubleVector elementProducts(DoubleVector a, const DoubleVector& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = a[i] * (i < b.size() ? b[i] : 0.0);
    return a;
}

double largestValue(const DoubleVector& values)
{
    return runningMax(kNoMaximum, values.data(), values.data() + values.size());
}

double smallestValue(const DoubleVector& values)
{
    double r = kNoMinimum;
    for (double x : values)
        if (x < r)
            r = x;
    return r;
}

double runningMax(double r, const double* first, const double* last)
{
    for (const double* p = first; p < last; ++p)
        if (*p > r)
            r = *p;
    return r;
}

int firstMaxIndex(const DoubleVector& values)
{
    double best = -9999999.9;
    int loc = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (values[i] > best) {
            best = values[i];
            loc = static_cast<int>(i);
        }
    }
    return loc;
}
