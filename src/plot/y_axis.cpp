// The Manhattan panel's y axis and its break rule.
#include "plot/y_axis.h"

#include <algorithm>
#include <cmath>

namespace {
// Share of the plot area's height the band takes, and the gap below it.
constexpr double kBandShare = 0.22;
constexpr double kGapPx = 14;
constexpr double kBreakAbove = 40;
constexpr double kLargest = 1e300;

// Tick values inside [lo, hi]: multiples of a 1-2-5 step, at most 3 or 4.
std::vector<double> bandTickValues(double lo, double hi)
{
    const double step = plotlayout::niceTicks(hi - lo, 3).step;
    std::vector<double> v;
    for (double t = std::ceil(lo / step) * step; t <= hi + 1e-9 * hi; t += step)
        v.push_back(t);
    return v;
}
} // namespace

double YAxis::y(double value) const
{
    double y;
    if (!broken || value <= low.top)
        y = lowTop + (height - (lowTop - top)) * (1 - value / low.top);
    else if (value < bandLow)
        y = (bandBottom + lowTop) / 2;
    else
        y = top + (bandBottom - top) * (1 - (value - bandLow) / (bandHigh - bandLow));
    // Within the plot area whatever the value (above 1e300, say).
    return std::min(std::max(y, top), top + height);
}

YAxis makeYAxis(std::vector<double> values, double floor, const YBreakChoice& choice, double top, double height)
{
    // Values beyond kLargest (absurd, but a -log10 p column may hold them)
    // count as kLargest: the arithmetic below stays finite, and they are
    // drawn at the top of the axis.
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }),
                 values.end());
    for (double& v : values)
        v = std::min(v, kLargest);
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    YAxis a;
    a.top = a.lowTop = a.bandBottom = top;
    a.height = height;
    const double vmax = values.empty() ? floor : std::max(values.back(), floor);
    // The lower part's top value, and the lowest value of the band.
    double lowMax = vmax, bandMin = vmax;
    if (choice.mode == YBreakChoice::Auto) {
        for (size_t i = 1; i < values.size(); ++i) {
            const double below = std::max(values[i - 1], floor);
            if (values[i] > kBreakAbove && values[i] > 2 * below) {
                a.broken = true;
                lowMax = below;
                bandMin = values[i];
                break;
            }
        }
    } else if (choice.mode == YBreakChoice::At && choice.at > 0) {
        const auto above = std::upper_bound(values.begin(), values.end(), choice.at);
        if (above != values.end()) {
            a.broken = true;
            lowMax = std::max(choice.at, floor);
            bandMin = *above;
        }
    }
    if (!a.broken) {
        a.low = plotlayout::niceTicks(vmax * 1.08, 8);
        return a;
    }
    a.low = choice.mode == YBreakChoice::At ? plotlayout::niceTicks(lowMax, 8) : plotlayout::niceTicks(lowMax * 1.08, 8);
    if (choice.mode == YBreakChoice::At && a.low.top > lowMax) {
        // The lower part ends at the value given, between two ticks.
        a.low.top = lowMax;
        while (!a.low.values.empty() && a.low.values.back() > lowMax)
            a.low.values.pop_back();
    }
    if (bandMin <= a.low.top) { // the band must start above the lower part
        a.broken = false;
        a.low = plotlayout::niceTicks(vmax * 1.08, 8);
        return a;
    }
    // Room below the lowest band value and above the highest (for labels).
    const double range = std::max(vmax - bandMin, std::max(1.0, 0.1 * vmax));
    a.bandLow = std::max(a.low.top, bandMin - 0.08 * range);
    a.bandHigh = vmax + 0.45 * range;
    a.bandBottom = top + kBandShare * height;
    a.lowTop = a.bandBottom + kGapPx;
    a.bandTicks = bandTickValues(a.bandLow, a.bandHigh);
    return a;
}
