// The BED file of the reported peaks: one interval per peak, named by its
// lead marker, for genome browsers and interval tools.
#pragma once
#include "report/reported_peak.h"

#include <string>
#include <vector>

// The header line, with its line end.
inline constexpr char kBedHeader[] =
    "#chrom\tstart\tend\tname\tscore\tstrand\tlead_position\tlead_log10p\tgqs\tmarkers\n";

// The BED score of a quality score: (gqs - 1) / 4 * 1000 rounded to the
// nearest whole number and kept within 0..1000; 0 when it is not a number.
int bedScore(double gqs);

// What the BED text of a table holds, and what had to be left out.
struct BedText {
    std::string text;  // header and lines sorted by chromosome order, start, end
    int leftOut = 0;   // peaks with a negative position: no BED interval
    int leadOutside = 0; // peaks whose lead marker lies outside the interval (unsorted tables)
};

BedText bedText(const std::vector<ReportedPeak>& peaks);
