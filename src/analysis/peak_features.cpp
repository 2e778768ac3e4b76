// Peak measurement from the unsmoothed values and real positions.
#include "analysis/peak_features.h"

#include "numerics/kolmogorov_smirnov.h"
#include "analysis/quality_score.h"
#include "numerics/regression.h"

#include <algorithm>

namespace {
constexpr int kSlopeWindow = 5;
constexpr int kOverhang = 2; // neighbours on each side taken for the slopes
} // namespace

std::optional<PeakFeatures> measurePeak(const Markers& markers, int first, int last)
{
    DoubleVector values = windowAround(markers.values, first, last, kOverhang);
    IntVector positions = windowAround(markers.positions, first, last, kOverhang);
    const DoubleVector slopes = absoluteValues(windowSlopes(kSlopeWindow, positions, values));
    PeakFeatures f;
    f.bestSlope0 = largestValue(slopes);
    f.bestSlope = largestValue(elementProducts(slopes, values));
    const int extendedStart = std::max(first - kOverhang, 0);
    values = dropEnds(values, kOverhang, kOverhang);
    positions = dropEnds(positions, kOverhang, kOverhang);
    if (values.empty())
        return std::nullopt;

    const int summit = firstMaxIndex(values);
    f.firstPosition = markers.positions[static_cast<size_t>(first)];
    f.lastPosition = markers.positions[static_cast<size_t>(last)];
    f.height = values[static_cast<size_t>(summit)];
    f.monotony = monotony(values, summit);
    f.multiplicity = summitMultiplicity(values, f.height);
    f.repetitions = repetitionShare(values);
    f.heightToWidth = heightPerMegabase(positions, f.height);
    f.looksNormal = positionsLookNormal(positions);
    f.width = int64_t(positions.back()) - positions.front();
    f.count = static_cast<int64_t>(positions.size());
    f.spacing = static_cast<double>(f.width / f.count);
    f.flanks = flankBalance(values, summit);
    f.vertical = verticalBalance(values);
    f.summitOverMean = summitOverMean(values, summit);
    f.quality = qualityScore(f.height, f.bestSlope);
    f.leadPosition = positions[static_cast<size_t>(summit)];
    f.leadIndex = static_cast<size_t>(extendedStart + kOverhang + summit);
    f.leadInput = f.leadIndex < markers.origin.size() ? markers.origin[f.leadIndex] : f.leadIndex;
    return f;
}
