// The summary of one table on standard error: what was read and used, the
// genome-wide loci and the strongest of them with their peaks, and whether
// the reported peaks cover every genome-wide significant marker.
#pragma once
#include "loci/loci_text.h"
#include "report/reported_peak.h"
#include "io/table_reader.h"

#include <string>
#include <vector>

// Genome-wide significant markers outside every reported peak of their
// chromosome, and the strongest of them (null when there is none).
struct Coverage {
    long long outside = 0;
    const SignificantMarkers::Marker* strongest = nullptr;
};
Coverage uncoveredSignificant(const SignificantMarkers& significant, const std::vector<ReportedPeak>& peaks);

// Why a table whose data rows all failed to give a marker (too short, or a
// position or p-value that is not a number; missing values do not count)
// cannot be analysed: the delimiter, the columns and its first data row.
// Empty when the table is fine.
std::string unusableTableCause(const std::string& table, const TableLayout& layout, const TableReading& notes);

// The summary lines, each starting "quorlin: " and ending with a line end;
// loci are those of notes.candidates in windows of lociWindow bp, cross-
// referenced with peaks.
std::string tableSummary(const std::string& table, const TableLayout& layout, const TableReading& notes,
                         const std::vector<ReportedPeak>& peaks, const LociResult& loci, int64_t lociWindow,
                         const LocusNote& lociNotes = {});
