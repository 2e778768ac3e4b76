// The peak report's layout: its header line and one tab-separated row of 20
// fields per peak.
#pragma once
#include "analysis/peak_features.h"

#include <string>
#include <string_view>

// The header line, with its line end.
inline constexpr char kReportHeader[] =
    "filename\tchrom\trange\tmax\tbestslope0\tbestslope\tmonot\tmultip\treps\tratio\tkolmo\trange\tcount\t"
    "spacing\tbalance\tskew\tvbal1\tvbal2\tmaxbyMean\tGQS\n";

// Appends the peak's range as the report's first range column writes it:
// "first-last", in the order the peak's ends were found.
void appendPeakRange(std::string& out, const PeakFeatures& f);

// Appends the row of one peak, with its line end.
void appendPeakRow(std::string& out, std::string_view table, std::string_view chromosome, const PeakFeatures& f);

// True when text holds no tab, carriage return or line feed.
bool isTsvSafe(std::string_view text);
// Appends text with each tab, carriage return and line feed as a space, so
// that a field never splits a tab-separated line.
void appendTsvField(std::string& out, std::string_view text);
