// Genome-wide loci: the table's candidates clumped around their strongest
// markers, chromosome by chromosome, and matched with the reported peaks.
// Two views of one table: the peaks are shapes of the -log10(p) profile, the
// loci are windows around significant markers; the status of each locus says
// how the two agree.
#pragma once
#include "io/loci_candidates.h"
#include "report/reported_peak.h"

#include <cstdint>
#include <vector>

constexpr int64_t kDefaultLociWindow = 500000;

enum class LocusStatus : uint8_t {
    NoPeak, // no reported peak overlaps the locus
    Peak,   // one does, and it overlaps no other locus
    Merged, // one does, and it also overlaps another locus
    Split,  // two or more do
};

// The status as the loci file writes it: no_peak, peak, merged, split.
const char* statusWord(LocusStatus status);

struct Locus {
    uint32_t chromosome = 0; // index into LociCandidates::chromosomes
    int32_t start = 0, end = 0; // smallest and largest member position
    int32_t leadPosition = 0;
    uint64_t lead = 0;       // the lead candidate's index
    uint64_t markers = 0;    // members, the lead included
    double log10p = 0;       // the lead's -log10(p): inf for p = 0
    // Filled by crossReference: the overlapping peaks are
    // LociResult::overlaps[firstOverlap, firstOverlap + peaks).
    LocusStatus status = LocusStatus::NoPeak;
    uint32_t peaks = 0;
    uint64_t firstOverlap = 0;
};

struct LociResult {
    // In file order: chromosomes by first appearance, then start, then lead
    // position. On one chromosome the distance loci's ranges never meet;
    // LD clumps may overlap.
    std::vector<Locus> loci;
    // Indices into the peak list, each locus's run ordered by the peaks'
    // lower ends.
    std::vector<size_t> overlaps;
};

// Clumps the candidates: strongest first (ties: earlier input row), each
// joins the first chosen lead within window bp (inclusive) on its
// chromosome, or else becomes a lead. O(n log n). A negative window counts
// as 0.
LociResult findLoci(const LociCandidates& candidates, int64_t window);

// Sets each locus's overlapping peaks and status. A peak overlaps a locus
// when their closed ranges meet on the same chromosome name (the peak's
// range from its smaller to its larger end).
void crossReference(LociResult& result, const LociCandidates& candidates, const std::vector<ReportedPeak>& peaks);

// The highest GQS among the locus's peaks; false when it has none.
bool bestQuality(const Locus& locus, const LociResult& result, const std::vector<ReportedPeak>& peaks, double& best);
