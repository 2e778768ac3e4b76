// Vector toolkit and regression. The floating-point results follow a fixed
// order of operations (sums in index order, raw-sum slope formula), which
// fixes every last bit of the report.
#include "peakcomber3.h"

#include <algorithm>
#include <cmath>

DoubleVector newDoubleVector(int length, double value)
{
    return length > 0 ? DoubleVector(static_cast<size_t>(length), value) : DoubleVector();
}

DoubleVector vectorMath(DoubleVector myVect, int method)
{
    if (method != 1)
        return DoubleVector();
    for (double& x : myVect)
        x = x > 0 ? -std::log10(x) : 0.0;
    return myVect;
}

namespace {

template <typename V>
V subVector(const V& v, int a, int b, int overhang)
{
    const int64_t size = static_cast<int64_t>(v.size());
    const int64_t start = std::max<int64_t>(int64_t(a) - overhang, 0);
    const int64_t end = std::min<int64_t>(int64_t(b) + overhang, size - 1);
    if (start > end)
        return V();
    return V(v.begin() + start, v.begin() + end + 1);
}

template <typename V>
V clipEnds(const V& v, int a, int b)
{
    const int64_t size = static_cast<int64_t>(v.size());
    const int64_t start = std::max(a, 0);
    const int64_t stop = size - std::max(b, 0);
    if (start >= stop)
        return V();
    return V(v.begin() + start, v.begin() + stop);
}

struct Sums {
    double goodphenos = 0, sumX = 0, sumY = 0, sumXY = 0, sumXX = 0;
};

Sums sumsOf(const int32_t* L, const double* P, size_t count)
{
    Sums s;
    for (size_t i = 0; i < count; ++i) {
        const double x = L[i];
        const double y = P[i];
        s.goodphenos += 1.0;
        s.sumX += x;
        s.sumY += y;
        s.sumXY += x * y;
        s.sumXX += x * x;
    }
    return s;
}

double slopeOf(const Sums& s)
{
    if (s.goodphenos == 0 || s.sumX == 0)
        return 0.0;
    const double slope = (s.goodphenos * s.sumXY - s.sumX * s.sumY) / (s.goodphenos * s.sumXX - s.sumX * s.sumX);
    return std::isnan(slope) ? 0.0 : slope;
}

} // namespace

DoubleVector subVector1(DoubleVector myVect, int a, int b, int overhang) { return subVector(myVect, a, b, overhang); }
IntVector subVector2(IntVector myVect, int a, int b, int overhang) { return subVector(myVect, a, b, overhang); }
DoubleVector clipEnds1(DoubleVector myVect, int a, int b) { return clipEnds(myVect, a, b); }
IntVector clipEnds2(IntVector myVect, int a, int b) { return clipEnds(myVect, a, b); }

DoubleVector twoArrays(DoubleVector myVect1, DoubleVector myVect2, int method)
{
    for (size_t i = 0; i < myVect1.size(); ++i) {
        const double x = myVect1[i];
        const double y = i < myVect2.size() ? myVect2[i] : 0.0;
        switch (method) {
        case 1: myVect1[i] = x + y; break;
        case 2: myVect1[i] = x - y; break;
        case 3: myVect1[i] = y == 0 ? 0.0 : x / y; break;
        case 4: myVect1[i] = x * y; break;
        default: myVect1[i] = 0.0;
        }
    }
    return myVect1;
}

double minmax(DoubleVector myVect, int method)
{
    return minmaxOf(myVect, method);
}

double minmaxOf(const DoubleVector& myVect, int method)
{
    if (method == 1)
        return runningMax(-999999999.9, myVect.data(), myVect.data() + myVect.size());
    if (method == -1) {
        double r = 999999999.9;
        for (double x : myVect)
            if (x < r)
                r = x;
        return r;
    }
    return 0.0;
}

double runningMax(double r, const double* first, const double* last)
{
    for (const double* p = first; p < last; ++p)
        if (*p > r)
            r = *p;
    return r;
}

int minmaxloc(DoubleVector myVect, int method)
{
    double best = method > 0 ? -9999999.9 : 9999999.9;
    int loc = 0;
    for (size_t i = 0; i < myVect.size(); ++i) {
        const double x = myVect[i];
        if (method > 0 ? x > best : x < best) {
            best = x;
            loc = static_cast<int>(i);
        }
    }
    return loc;
}

DoubleVector samesign(DoubleVector myVect, int method)
{
    for (double& x : myVect) {
        if (method > 0 && x < 0)
            x = -x;
        else if (method < 0 && x > 0)
            x = -x;
    }
    return myVect;
}

double slopeAt(const int32_t* L, const double* P, size_t n)
{
    return slopeOf(sumsOf(L, P, n));
}

double fittedValueAt(const int32_t* L, const double* P, size_t n, size_t loc)
{
    const Sums s = sumsOf(L, P, n);
    if (s.goodphenos == 0 || loc >= n)
        return 0.0;
    const double slope = slopeOf(s);
    const double intercept = (s.sumY - slope * s.sumX) / s.goodphenos;
    return L[loc] * slope + intercept;
}

double linreg(IntVector Lvec, DoubleVector Pvec)
{
    return slopeAt(Lvec.data(), Pvec.data(), std::min(Pvec.size(), Lvec.size()));
}

double linreg_val(IntVector Lvec, DoubleVector Pvec, int loc)
{
    if (loc < 0)
        return 0.0;
    return fittedValueAt(Lvec.data(), Pvec.data(), std::min(Pvec.size(), Lvec.size()), static_cast<size_t>(loc));
}

DoubleVector derivative(int win, IntVector Lvec, DoubleVector Pvec, DoubleVector Pvec_der1)
{
    if (win < 1)
        return Pvec_der1;
    const size_t w = static_cast<size_t>(win);
    const size_t shift = static_cast<size_t>(win * 0.5);
    const size_t n = std::min(Pvec.size(), Lvec.size());
    for (size_t i = 0; i + w <= n; ++i)
        if (i + shift < Pvec_der1.size())
            Pvec_der1[i + shift] = slopeAt(Lvec.data() + i, Pvec.data() + i, w);
    return Pvec_der1;
}
