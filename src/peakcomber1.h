// Process-wide run state, the driver peakcomber (options, table reading and
// chromosome batching), the chromosome scan Analyze, the chunk splitting
// splitAll and the quality score GQS.
#pragma once
#include "peakcomber3.h"
#include "reportwriter.h"

#include <cstdint>
#include <string>
#include <vector>

using WorkPositions = std::vector<int64_t>;

extern std::vector<std::string> Switches;
extern std::string Filename;
extern double shrink;
extern int dots;
extern double PeakThreshold;
extern double inlimit;

extern IntVector Lvec;      // real positions of the chromosome's remaining markers
extern DoubleVector Pvec;   // raw p-values, then their -log10 values
extern WorkPositions Ltemp; // compressed, strictly increasing working positions
extern DoubleVector Ptemp;  // smoothed values
extern IntVector StartL, EndL;
extern DoubleVector PvalL;
extern IntVector NoCrossL, NoCrossR;
extern ReportWriter out_stream;

// The report's header line.
extern const char* const kReportHeader;

// The driver: fills the lookup tables, reads the options from Switches and
// analyses every input table. Ends the process with status 1 on an error.
void peakcomber();

// Called by the driver for every chromosome batch; Analyze unless replaced
// (tests record the batches through it).
extern void (*batchHandler)(const std::string& chromosome);

// Per-chromosome analysis of the batch in Lvec/Pvec; writes report rows.
void Analyze(const std::string& CHRentryOLD);
// Builds the nested chunks of Ltemp in StartL/EndL/PvalL and returns the
// index of the chosen one.
int splitAll(double inflation);
// Expected grade (1..5) of a peak of height max and best slope bestslope.
double GQS(double max, double bestslope);

// Analyze with the given compression and splitting steps (tests run the
// straightforward versions of both through it).
void analyzeWith(const std::string& CHRentryOLD, void (*compress)(), int (*split)(double));

// Steps of Analyze, exposed for tests.
void trimBackground();
void smoothProfile();
void compressPositions();
void straightenPositions();
// Shortening of one gap of length dist whose mean value is pVal.
int64_t gapShortening(int64_t dist, double pVal, double tempMinP, double tempMaxP);

// splitAll's two halves: the nested chunks with their measures, and the
// choice among them.
struct ChunkMeasures {
    std::vector<int64_t> MedChunk, MaxChunk;
};
void buildChunks(ChunkMeasures& cm);
int chooseReport(const ChunkMeasures& cm, double inflation);
// Measures the chunk locL..locR and writes its report row; false when its
// clipped peak is empty and no row was written.
bool writePeakRow(int locL, int locR, const std::string& CHRentryOLD);
