// Peak shape metrics, each a single pass over the peak in index order.
#include "analysis/shape_metrics.h"

namespace {

bool summitInside(const DoubleVector& v, int loc)
{
    return loc >= 0 && static_cast<size_t>(loc) < v.size();
}

double sumOf(const DoubleVector& v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return sum;
}

} // namespace

double monotony(const DoubleVector& values, int summit)
{
    if (!summitInside(values, summit))
        return 0;
    const int n = static_cast<int>(values.size());
    double rises = 0;
    int steps = -2;
    double previous = values[0];
    for (int i = 0; i <= summit; ++i) {
        if (values[i] > previous)
            rises += 1;
        previous = values[i];
        steps += 1;
    }
    previous = values[n - 1];
    for (int i = n - 1; i >= summit; --i) {
        if (values[i] > previous)
            rises += 1;
        previous = values[i];
        steps += 1;
    }
    return steps == 0 ? 0 : rises / steps;
}

double summitMultiplicity(const DoubleVector& values, double max)
{
    double multi = 0;
    for (double x : values)
        if (x == max)
            multi += 1;
    return multi / static_cast<double>(values.size());
}

double repetitionShare(const DoubleVector& values)
{
    double reps = 0;
    double previous = -1.0;
    for (double x : values) {
        if (x == previous)
            reps += 1;
        previous = x;
    }
    return reps / static_cast<double>(values.size());
}

double heightPerMegabase(const IntVector& positions, double height)
{
    if (positions.empty())
        return 0;
    const int64_t width = int64_t(positions.back()) - positions.front() + 1;
    return (height / static_cast<double>(width)) * 1000000;
}

SplitRatios verticalBalance(const DoubleVector& values)
{
    if (values.empty())
        return {};
    const double mean = sumOf(values) / static_cast<double>(values.size());
    double sumAbove = 0, sumBelow = 0, countAbove = 0, countBelow = 0;
    for (double x : values) {
        if (x >= mean) {
            sumAbove += x;
            countAbove += 1;
        } else {
            sumBelow += x;
            countBelow += 1;
        }
    }
    return {countBelow > 0 ? countAbove / countBelow : 0, sumBelow > 0 ? sumAbove / sumBelow : 0};
}

double summitOverMean(const DoubleVector& values, int summit)
{
    if (!summitInside(values, summit))
        return 0;
    const double mean = sumOf(values) / static_cast<double>(values.size());
    return mean > 0 ? values[static_cast<size_t>(summit)] / mean : 0;
}

SplitRatios flankBalance(const DoubleVector& values, int summit)
{
    if (!summitInside(values, summit))
        return {};
    const double max = values[static_cast<size_t>(summit)];
    DoubleVector collapsed;
    for (size_t i = 0; i < values.size(); ++i)
        if (!(i > 0 && values[i] == max && values[i] == collapsed.back()))
            collapsed.push_back(values[i]);
    const int top = firstMaxIndex(collapsed);
    double sumL = 0, sumR = 0;
    int countL = 0, countR = 0;
    for (int i = 0; i < static_cast<int>(collapsed.size()); ++i) {
        if (i < top) {
            sumL += collapsed[i];
            countL += 1;
        } else if (i > top) {
            sumR += collapsed[i];
            countR += 1;
        }
    }
    return {countL != 0 ? static_cast<double>(countR) / countL : 0, sumL == 0 ? 0 : sumR / sumL};
}
