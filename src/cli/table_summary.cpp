// Summary texts. The coverage check compares every significant marker with
// the position ranges (smaller to larger) of its chromosome's peaks.
#include "cli/table_summary.h"

#include "loci/loci_text.h"
#include "report/number_format.h"

#include <algorithm>
#include <unordered_map>

namespace {

using Ranges = std::vector<std::pair<int64_t, int64_t>>;

std::unordered_map<std::string, Ranges> rangesByChromosome(const std::vector<ReportedPeak>& peaks)
{
    std::unordered_map<std::string, Ranges> ranges;
    for (const ReportedPeak& p : peaks) {
        const PeakFeatures& f = p.features;
        ranges[p.chromosome].emplace_back(std::min(f.firstPosition, f.lastPosition),
                                          std::max(f.firstPosition, f.lastPosition));
    }
    return ranges;
}

std::string separatorName(const FieldSeparator& sep)
{
    if (sep.whitespace)
        return "whitespace";
    for (const char* word : {"tab", "space", "comma", "semicolon"})
        if (separatorForWord(word).text == sep.text)
            return word;
    return "'" + sep.text + "'";
}

std::string markerName(const std::string& chromosome, int32_t position, const std::string& id)
{
    const std::string place = chromosome + ":" + std::to_string(position);
    return id.empty() || id == place ? place : id + " (" + place + ")";
}

std::string coverageLine(const std::string& table, const TableReading& notes, const std::vector<ReportedPeak>& peaks)
{
    const std::string threshold = formatReal(kGenomeWideSignificance);
    const SignificantMarkers& s = notes.significant;
    const std::string count = std::to_string(s.markers.size());
    if (s.markers.empty())
        return "quorlin: summary: " + table + ": no marker has p <= " + threshold + "\n";
    const Coverage c = uncoveredSignificant(s, peaks);
    if (c.outside == 0)
        return "quorlin: summary: " + table + ": all " + count + " markers with p <= " + threshold +
               " lie within reported peaks\n";
    const SignificantMarkers::Marker& m = *c.strongest;
    const double p = s.p(m);
    return "quorlin: warning: " + table + ": " + std::to_string(c.outside) + " of " + count + " markers with p <= " +
           threshold + " lie outside every reported peak; the strongest is " +
           markerName(s.chromosomes[m.chromosome], m.position, std::string(s.id(m))) + " with p = " + formatReal(p) +
           (p > 0 ? "" : " (-log10(p) = " + formatReal(s.log10p(m)) + ")") + "\n";
}

} // namespace

Coverage uncoveredSignificant(const SignificantMarkers& significant, const std::vector<ReportedPeak>& peaks)
{
    const auto ranges = rangesByChromosome(peaks);
    std::vector<const Ranges*> byIndex;
    for (const std::string& name : significant.chromosomes) {
        const auto it = ranges.find(name);
        byIndex.push_back(it == ranges.end() ? nullptr : &it->second);
    }
    Coverage c;
    for (const SignificantMarkers::Marker& m : significant.markers) {
        const Ranges* r = byIndex[m.chromosome];
        const bool covered = r && std::any_of(r->begin(), r->end(), [&](const auto& range) {
                                 return range.first <= m.position && m.position <= range.second;
                             });
        if (covered)
            continue;
        ++c.outside;
        if (!c.strongest || significant.log10p(m) > significant.log10p(*c.strongest))
            c.strongest = &m;
    }
    return c;
}

std::string unusableTableCause(const std::string& table, const TableLayout& layout, const TableReading& notes)
{
    if (notes.usableRows > 0 || notes.shortRows + notes.unusableRows == 0)
        return "";
    return table + ": none of the " + std::to_string(notes.dataRows) +
           " data rows could be used (each was too short, missing, or not a number in the position or p-value "
           "column); check the delimiter (-delim, now " + separatorName(layout.separator) +
           ") and the column numbers (-lcolumn " + std::to_string(layout.positionColumn) + " -pcolumn " +
           std::to_string(layout.pvalueColumn) + " -chrcolumn " + std::to_string(layout.chromosomeColumn) +
           "); the first data row is '" + notes.firstRow + "'";
}

std::string tableSummary(const std::string& table, const TableLayout& layout, const TableReading& notes,
                         const std::vector<ReportedPeak>& peaks, const LociResult& loci, int64_t lociWindow,
                         const LocusNote& lociNotes)
{
    const std::string prefix = "quorlin: summary: " + table + ": ";
    if (notes.dataRows > 0 && notes.usableRows == 0)
        return "quorlin: summary: " + table + ": none of the " + std::to_string(notes.dataRows) +
               " data rows holds a position and a p-value (every one is missing)\n";
    std::string text = prefix + std::to_string(notes.dataRows) + " rows read, " + std::to_string(notes.usableRows) +
                       " used, " + std::to_string(notes.retained) + " markers retained, " +
                       std::to_string(notes.chromosomes.size()) + " chromosomes, " + std::to_string(peaks.size()) +
                       " peaks reported\n";
    return text + lociSummary(table, loci, notes.candidates, peaks, layout.lociThreshold, lociWindow, lociNotes) +
           coverageLine(table, notes, peaks);
}
