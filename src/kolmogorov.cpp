// One-sample Kolmogorov-Smirnov test on binned positions: equal-width bins
// over the peak, a normal distribution fitted to the binned data, and the
// largest gap between the cumulative shares and the fitted normal
// distribution at each bin's upper border, against the critical value.
#include "kolmogorov.h"

#include "kolmogorov005.h"
#include "setZ.h"

#include <algorithm>
#include <cmath>

double normalProbability(double z)
{
    const size_t zlength = Zscore.size();
    if (zlength == 0 || std::isnan(z) || z > Zscore[zlength - 1])
        return 0.9999999;
    if (z < Zscore[0])
        return 0.0000001;
    // First grid index above z (the grid ascends strictly).
    const size_t k = static_cast<size_t>(std::upper_bound(Zscore.begin() + 1, Zscore.end(), z) - Zscore.begin());
    if (k >= zlength)
        return Fx[zlength - 1];
    return Fx[k - 1] - (Fx[k - 1] - Fx[k]) * ((z - Zscore[k - 1]) / (Zscore[k] - Zscore[k - 1]));
}

double kolmogorovCritical(int total)
{
    const size_t klength = KolmoV.size();
    if (klength == 0)
        return 1.0;
    if (KolmoN[klength - 1] < total)
        return 1.36 / std::sqrt(static_cast<double>(total));
    if (total < KolmoN[0])
        return 1.0;
    for (size_t k = 0; k < klength; ++k) {
        if (KolmoN[k] == total)
            return KolmoV[k];
        if (k > 0 && KolmoN[k - 1] < total && total < KolmoN[k]) {
            const double fraction = static_cast<double>(total - KolmoN[k - 1]) / (KolmoN[k] - KolmoN[k - 1]);
            return KolmoV[k - 1] - (KolmoV[k - 1] - KolmoV[k]) * fraction;
        }
    }
    return 1.0;
}

namespace {

struct Bins {
    DoubleVector lower, upper, mid, contents;
};

Bins makeBins(const IntVector& myLoc, int bins)
{
    Bins b;
    double position = myLoc.front();
    const double binsize = static_cast<double>(int64_t(myLoc.back()) - myLoc.front() + 1) / bins;
    for (int j = 0; j < bins; ++j) {
        b.lower.push_back(position);
        position += binsize;
        b.upper.push_back(position);
        b.contents.push_back(0);
        b.mid.push_back((b.lower[j] + b.upper[j]) * 0.5);
    }
    b.lower.front() -= 1.0;
    b.upper.back() += 1.0;
    return b;
}

void countPositions(const IntVector& myLoc, Bins& b)
{
    for (int32_t loc : myLoc) {
        const double x = loc;
        for (size_t j = 0; j < b.contents.size(); ++j)
            if (x >= b.lower[j] && b.upper[j] > x)
                b.contents[j] += 1;
    }
}

} // namespace

int doKolmogorov(IntVector myLoc)
{
    if (myLoc.empty())
        return 1;
    const int datasize = static_cast<int>(myLoc.size());
    int bins = static_cast<int>(datasize / 3.0);
    if (bins <= 2)
        bins = 3;
    Bins b = makeBins(myLoc, bins);
    countPositions(myLoc, b);

    double mean = 0;
    int total = 0;
    for (int j = 0; j < bins; ++j) {
        mean += b.contents[j] * b.mid[j];
        total = static_cast<int>(total + b.contents[j]);
    }
    mean = mean / total;
    const double mean2 = mean * mean;
    double sqsumn = 0;
    for (int j = 0; j < bins; ++j)
        sqsumn += b.mid[j] * b.mid[j] * b.contents[j];
    const double var = (sqsumn / total - mean2) * total / (total - 1);
    const double stdev = std::sqrt(var);

    for (int j = 1; j < bins; ++j)
        b.contents[j] += b.contents[j - 1];
    double largest_diff = 0;
    for (int j = 0; j < bins; ++j) {
        const double share = b.contents[j] / total;
        const double diff = std::fabs(share - normalProbability((b.upper[j] - mean) / stdev));
        if (diff > largest_diff)
            largest_diff = diff;
    }
    return kolmogorovCritical(total) > largest_diff ? 1 : 0;
}
