// Generated tables for the plot tests, streamed straight into a collector:
// deterministic (their own xorshift generator and arithmetic), so a figure
// drawn from them can be compared byte for byte.
#pragma once
#include "plot_collector.h"

#include <cstdint>
#include <vector>

// xorshift64 with a uniform double in (0, 1].
struct PlotRng {
    uint64_t state;
    explicit PlotRng(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ULL + 88172645463325252ULL) {}
    uint64_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double uniform() { return ((next() >> 11) + 1) * (1.0 / 9007199254740992.0); }
    double normal(); // Box-Muller
};

// A p-value whose chi-square (1 df) is lambda times a null one.
double scaledChiSquareP(PlotRng& rng, double lambda);

struct GenomeTable {
    int64_t rows = 1000000;
    uint64_t seed = 1;
    int peaks = 30;          // association peaks, heights 6..40
    int chromosomes = 22;    // with GRCh37's relative lengths (repeated past 22)
    double spacing = 300;    // bp between markers
    bool zeroPeak = false;   // one peak's summit has p = 0
};

// Streams the table into c (all rows, chromosome by chromosome) and reports
// each peak (the run of markers around it above -log10 p = 5) with a GQS and
// a label "rsN".
void streamGenome(PlotCollector& c, const GenomeTable& t);
