// The measurements of one reported peak: every number of its report row.
#pragma once
#include "analysis/markers.h"
#include "analysis/shape_metrics.h"

#include <optional>

struct PeakFeatures {
    int32_t firstPosition = 0, lastPosition = 0; // real positions of the chunk's ends
    double height = 0;                           // summit -log10(p)
    double bestSlope0 = 0;                       // largest |slope| of the 5-marker windows
    double bestSlope = 0;                        // largest |slope| x value product
    double monotony = 0, multiplicity = 0, repetitions = 0, heightToWidth = 0;
    bool looksNormal = false; // Kolmogorov-Smirnov test of the positions
    int64_t width = 0;        // last - first position of the measured markers
    int64_t count = 0;        // measured markers
    double spacing = 0;       // width / count, truncated
    SplitRatios flanks, vertical;
    double summitOverMean = 0;
    double quality = 0;        // expected grade, 1..5
    int32_t leadPosition = 0;  // position of the summit marker (first on ties)
    size_t leadIndex = 0;      // its index among the chromosome's remaining markers
    size_t leadInput = 0;      // its index in the chromosome's input batch
};

// Measures the chunk first..last of markers: the slopes over the chunk with
// up to two neighbours on each side, everything else over the chunk without
// its two outermost markers on each side. Empty when nothing is left to
// measure.
std::optional<PeakFeatures> measurePeak(const Markers& markers, int first, int last);
