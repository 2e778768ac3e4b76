// The scoring, first-choice, edge and back-off rules on a chunk's measures;
// the walk over the nested chunks is in chunk_choice.h.
#include "analysis/chunk_choice.h"

#include <cmath>

namespace {

// A chunk can be scored only when its working gaps show structure:
constexpr int64_t kScorableWidestGap = 100; // widest gap above this
constexpr int64_t kScorableSpacing = 25;    // mean spacing above this
// and its real extent looks like one peak:
constexpr int64_t kMaxPeakSpacing = 50000;      // real spacing below this
constexpr double kMaxWidthPerHeight = 250000;   // real width / height below this
constexpr double kMinSpacingTimesHeight = 1000; // real spacing above this / height
constexpr int64_t kMaxPeakWidth = 3500000;      // real width below this
// The inward walk: edges below the input limit's -log10 plus this margin,
// or below the floor, are background.
constexpr double kEdgeMargin = 0.75;
constexpr double kEdgeFloor = -9.99;
constexpr int64_t kGapPenalty = 10;

} // namespace

// A 32-bit division where both fit (the common case, several times faster
// than a 64-bit one).
int64_t meanSpacing(int64_t span, int64_t steps)
{
    if (span >= 0 && span <= UINT32_MAX && steps <= UINT32_MAX)
        return static_cast<uint32_t>(span) / static_cast<uint32_t>(steps);
    return span / steps;
}

bool widestGapMayScore(int64_t widestGap)
{
    return widestGap > kScorableWidestGap;
}

bool gapsAllowScoring(int64_t widestGap, int64_t meanSpacing)
{
    return widestGap > kScorableWidestGap && meanSpacing > kScorableSpacing;
}

bool chunkScored(const ChunkMeasures& c)
{
    // The gap conditions first: they need no division and fail for most
    // chunks of a dense stretch.
    if (!gapsAllowScoring(c.widestGap, c.meanSpacing))
        return false;
    const int64_t width = c.realWidth;
    const int64_t spacing = c.steps > 0 ? width / c.steps : 0;
    const double height = c.height;
    return spacing < kMaxPeakSpacing && static_cast<double>(width) / height < kMaxWidthPerHeight &&
           static_cast<double>(spacing) > kMinSpacingTimesHeight / height && width < kMaxPeakWidth;
}

void FirstChoiceTally::addScored(int item, int64_t widestGap, int64_t spacing, int64_t outerWidestGap)
{
    double drop = 0;
    if (item >= 1 && outerWidestGap > 0)
        drop = static_cast<double>(outerWidestGap - widestGap) / static_cast<double>(outerWidestGap);
    if (drop > maxDrop_) {
        maxDrop_ = drop;
        bestDrop_ = item;
    }
    const double contrast = static_cast<double>(widestGap) / static_cast<double>(spacing);
    if (contrast > maxContrast_) {
        maxContrast_ = contrast;
        bestContrast_ = item;
    }
}

int FirstChoiceTally::choice(int count) const
{
    int report = bestContrast_ + 1;
    if (bestDrop_ + 2 < bestContrast_)
        report = bestDrop_;
    if (bestDrop_ == 0)
        report = count - 1;
    return report < count - 1 ? report : count - 1;
}

double edgeClipLimit(const AnalysisSettings& settings)
{
    return kEdgeMargin - std::log10(settings.inlimit);
}

bool edgesLookLikeBackground(const EdgeSample& edges, double clipLimit)
{
    const double left = edges.left, right = edges.right;
    // In 128 bits: the spacing of a stretch near the compression's 2^62
    // limit would overflow 64 bits here.
    const __int128 g = static_cast<__int128>(edges.spacing) * kGapPenalty;
    const __int128 G = 5 * g;
    return (left < clipLimit && right < clipLimit) || left < kEdgeFloor ||
           (g < edges.firstGap && left > static_cast<double>(g)) || G < edges.firstGap ||
           left > static_cast<double>(G);
}

bool ReportedRanges::spannedBy(int32_t chunkLeft, int32_t chunkRight) const
{
    for (size_t j = 0; j < left.size(); ++j)
        if (right[j] <= chunkRight && chunkLeft <= left[j])
            return true;
    return false;
}
