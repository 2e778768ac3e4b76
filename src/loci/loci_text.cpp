// Loci file lines and summary lines. Numbers are written as the report
// writes them: positions in decimal, -log10(p) and GQS as "%g" (inf for
// p = 0), peak ranges exactly as the report's first range column.
#include "loci/loci_text.h"

#include "report/number_format.h"
#include "report/peak_row.h"

#include <algorithm>

namespace {

constexpr size_t kPieceSize = 1 << 20;
constexpr size_t kStrongestShown = 5;

std::string place(const LociCandidates& c, const Locus& l)
{
    return c.chromosomes[l.chromosome] + ":" + std::to_string(l.leadPosition);
}

void appendLine(std::string& out, const Locus& l, const LociResult& result, const LociCandidates& c,
                const std::vector<ReportedPeak>& peaks, const std::string* extra)
{
    appendTsvField(out, c.chromosomes[l.chromosome]);
    out += '\t' + std::to_string(l.start) + '\t' + std::to_string(l.end) + '\t';
    const std::string_view id = c.id(l.lead);
    if (id.empty())
        out += place(c, l);
    else
        out.append(id);
    out += '\t' + std::to_string(l.leadPosition) + '\t';
    appendReal(out, l.log10p);
    out += '\t' + std::to_string(l.markers) + '\t' + statusWord(l.status) + '\t' + std::to_string(l.peaks) + '\t';
    for (uint64_t k = 0; k < l.peaks; ++k) {
        if (k > 0)
            out += ',';
        appendPeakRange(out, peaks[result.overlaps[l.firstOverlap + k]].features);
    }
    if (l.peaks == 0)
        out += '.';
    out += '\t';
    double best = 0;
    if (bestQuality(l, result, peaks, best))
        appendReal(out, best);
    else
        out += "NA";
    if (extra) {
        out += '\t';
        out += *extra;
    }
    if (c.carried > 0) {
        out += '\t';
        out.append(c.carriedText(l.lead));
    }
    out += '\n';
}

std::string markerName(const LociCandidates& c, const Locus& l)
{
    const std::string where = place(c, l);
    const std::string_view id = c.id(l.lead);
    return id.empty() || id == where ? where : std::string(id) + " (" + where + ")";
}

std::string windowText(int64_t window)
{
    if (window > 0 && window % 1000 == 0)
        return std::to_string(window / 1000) + " kb";
    return std::to_string(window) + " bp";
}

// Strongest first; ties: the earlier lead row.
bool stronger(const Locus& a, const Locus& b)
{
    return a.log10p != b.log10p ? a.log10p > b.log10p : a.lead < b.lead;
}

} // namespace

std::string lociHeader(const std::vector<std::string>& carriedNames, const LociExtraColumns& extra)
{
    std::string header =
        "chrom\tstart\tend\tlead_id\tlead_position\tlead_log10p\tmarkers\tstatus\tpeaks\tpeak_ranges\tbest_gqs";
    for (const std::string& name : extra.names)
        header += '\t' + name;
    for (const std::string& name : carriedNames) {
        header += '\t';
        std::string clean = name;
        std::replace(clean.begin(), clean.end(), '\t', ' ');
        header += clean;
    }
    return header + "\n";
}

void writeLociFile(const LociResult& result, const LociCandidates& candidates, const std::vector<ReportedPeak>& peaks,
                   const std::vector<std::string>& carriedNames, const std::function<void(const std::string&)>& sink,
                   const LociExtraColumns& extra)
{
    std::string piece = lociHeader(carriedNames, extra);
    const bool withExtra = !extra.names.empty() && extra.values.size() == result.loci.size();
    for (size_t k = 0; k < result.loci.size(); ++k) {
        appendLine(piece, result.loci[k], result, candidates, peaks, withExtra ? &extra.values[k] : nullptr);
        if (piece.size() >= kPieceSize) {
            sink(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        sink(piece);
}

std::string lociFileText(const LociResult& result, const LociCandidates& candidates,
                         const std::vector<ReportedPeak>& peaks, const std::vector<std::string>& carriedNames,
                         const LociExtraColumns& extra)
{
    std::string text;
    writeLociFile(
        result, candidates, peaks, carriedNames, [&](const std::string& piece) { text += piece; }, extra);
    return text;
}

std::string lociSummary(const std::string& table, const LociResult& result, const LociCandidates& candidates,
                        const std::vector<ReportedPeak>& peaks, double threshold, int64_t window,
                        const LocusNote& note)
{
    const std::string prefix = "quorlin: summary: " + table + ": ";
    const std::vector<Locus>& loci = result.loci;
    const Locus* strongestWithout = nullptr;
    size_t without = 0;
    for (const Locus& l : loci) {
        if (l.status != LocusStatus::NoPeak)
            continue;
        ++without;
        if (!strongestWithout || stronger(l, *strongestWithout))
            strongestWithout = &l;
    }
    std::string text = prefix + std::to_string(loci.size()) + " genome-wide loci (p <= " + formatReal(threshold) +
                       ", " + windowText(window) + " windows): " + std::to_string(loci.size() - without) +
                       " with a peak, " + std::to_string(without) + " without";
    if (strongestWithout) {
        const Locus& l = *strongestWithout;
        const double p = candidates.p(l.lead);
        text += "; the strongest without a peak is " + markerName(candidates, l) + " with p = " + formatReal(p) +
                (p > 0 ? "" : " (-log10(p) = " + formatReal(l.log10p) + ")");
    }
    text += "\n";

    // The strongest few, kept in order while the loci pass by: no index of
    // every locus.
    std::vector<size_t> order;
    for (size_t k = 0; k < loci.size(); ++k) {
        if (order.size() == kStrongestShown && !stronger(loci[k], loci[order.back()]))
            continue;
        const auto at = std::upper_bound(order.begin(), order.end(), k,
                                         [&](size_t a, size_t b) { return stronger(loci[a], loci[b]); });
        order.insert(at, k);
        if (order.size() > kStrongestShown)
            order.pop_back();
    }
    const size_t shown = order.size();
    for (size_t k = 0; k < shown; ++k) {
        const Locus& l = loci[order[k]];
        const std::string said = note ? note(order[k]) : std::string();
        double best = 0;
        const bool hasPeak = bestQuality(l, result, peaks, best);
        text += prefix + "locus " + std::to_string(k + 1) + ": " + candidates.chromosomes[l.chromosome] + ":" +
                std::to_string(l.start) + "-" + std::to_string(l.end) + ", lead " + markerName(candidates, l) +
                ", -log10(p) " + formatReal(l.log10p) + ", " + statusWord(l.status) + ", GQS " +
                (hasPeak ? formatReal(best) : std::string("NA")) +
                (said.empty() ? "" : ", " + said) + "\n";
    }
    return text;
}
