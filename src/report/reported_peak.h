// A reported peak with what the table knows about it beyond the report row:
// its chromosome and the id of its lead marker.
#pragma once
#include "analysis/peak_features.h"

#include <string>

struct ReportedPeak {
    std::string chromosome;
    int chromosomeOrder = 0; // first appearance of the chromosome in the table, from 0
    PeakFeatures features;
    std::string leadId; // the id column's text, or chrom:position without one
};
