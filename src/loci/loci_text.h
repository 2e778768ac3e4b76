// The texts of the loci: the tab-separated loci file and the summary lines
// on standard error.
#pragma once
#include "loci/loci.h"

#include <functional>
#include <string>
#include <vector>

// Columns computed beside the loci (the genes): their names, and per locus
// (in the result's order) their tab-joined text; written after best_gqs and
// before the carried columns. Empty names: none.
struct LociExtraColumns {
    std::vector<std::string> names;
    std::vector<std::string> values;
};

// The loci file's header line (with its line end) for these extra and
// carried column names.
std::string lociHeader(const std::vector<std::string>& carriedNames, const LociExtraColumns& extra = {});

// Hands the loci file to sink in pieces of about a megabyte: the header,
// then one line per locus in the result's order. Carried fields come from
// the lead's row, one per carried column of the reading.
void writeLociFile(const LociResult& result, const LociCandidates& candidates, const std::vector<ReportedPeak>& peaks,
                   const std::vector<std::string>& carriedNames, const std::function<void(const std::string&)>& sink,
                   const LociExtraColumns& extra = {});

// The whole loci file as one text (for small tables and tests).
std::string lociFileText(const LociResult& result, const LociCandidates& candidates,
                         const std::vector<ReportedPeak>& peaks, const std::vector<std::string>& carriedNames,
                         const LociExtraColumns& extra = {});

// A locus's note in the summary (such as its nearest gene), by its index.
using LocusNote = std::function<std::string(size_t locus)>;

// The summary's loci lines, each starting "quorlin: summary: TABLE: ": the
// count with how many have a peak (and the strongest without one), then the
// five strongest loci with their status and best GQS, and each one's note
// when note is given.
std::string lociSummary(const std::string& table, const LociResult& result, const LociCandidates& candidates,
                        const std::vector<ReportedPeak>& peaks, double threshold, int64_t window,
                        const LocusNote& note = {});
