// The regional figures' data. The table is read a second time and only the
// rows inside some locus's window are kept, so their memory is that of the
// windows, whatever the table's size or order. With an LD panel each
// window's markers get their r² to the locus's reference variant.
#include "cli/locus_outputs.h"

#include "base/digit_groups.h"
#include "cli/table_source.h"
#include "genes/gene_columns.h"
#include "genes/gene_index.h"
#include "ld/window_r2.h"
#include "report/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {

constexpr int64_t kMinRegionalHalfWidth = 100000;
// The windows' markers are matched against the panel this many at a time,
// so the genotypes held stay bounded whatever the number of loci.
constexpr size_t kLdBatchMarkers = 50000;

std::string leadIdOf(const LociCandidates& c, const Locus& l)
{
    const std::string_view id = c.id(l.lead);
    return id.empty() ? c.chromosomes[l.chromosome] + ":" + std::to_string(l.leadPosition) : std::string(id);
}

// One locus's window on its chromosome.
struct Window {
    int64_t from, to;
    size_t locus;
};

// A regional figure's range: the lead ± half, widened to the whole locus
// (its members lie up to the loci window from the lead, farther than half).
Window regionalWindow(const Locus& l, int64_t half, size_t k)
{
    return {std::max<int64_t>(std::min<int64_t>(l.leadPosition - half, l.start), 0),
            std::max<int64_t>(l.leadPosition + half, l.end), k};
}

// The ids of the rows whose position is a number, as the reader shows them
// to a probe just before the observer gets the same rows.
class RowIds : public RowProbe {
public:
    void chromosome(std::string_view) override {}
    void row(int32_t position, std::string_view id) override
    {
        positions.push_back(position);
        text.append(id);
        ends.push_back(text.size());
    }
    std::string_view id(size_t j) const
    {
        const size_t from = j ? ends[j - 1] : 0;
        return std::string_view(text).substr(from, ends[j] - from);
    }
    void clear()
    {
        positions.clear();
        text.clear();
        ends.clear();
    }

    std::vector<int32_t> positions;
    std::string text;
    std::vector<size_t> ends;
};

// Collects the rows inside the windows, per locus, with their -log10(p)
// (NaN for a negative p) and id. Invariant: the probe holds exactly the
// rows with a numeric position among those the observer is handed next,
// in the same order; an observed row that the probe lacks has no position
// (the reader gives it 0) and is not drawn. Rows are paired greedily by
// position, which is exact except where a row without a position comes
// just before rows at position 0: then the first of them takes the id.
class WindowRows : public RowObserver {
public:
    WindowRows(const std::map<std::string, std::vector<Window>, std::less<>>& windows, size_t loci, bool log10Values)
        : windows_(windows), log10_(log10Values), positions_(loci), values_(loci), ids_(loci)
    {
    }

    RowIds* probe() { return &probe_; }

    void chromosome(std::string_view name) override
    {
        const auto it = windows_.find(name);
        current_ = it == windows_.end() ? nullptr : &it->second;
        widest_ = 0;
        for (size_t k = 0; current_ && k < current_->size(); ++k)
            widest_ = std::max(widest_, (*current_)[k].to - (*current_)[k].from);
    }

    void rows(ObservedRows& rows) override
    {
        if (current_)
            take(rows);
        probe_.clear();
    }

    std::vector<std::vector<int32_t>>& positions() { return positions_; }
    std::vector<std::vector<double>>& values() { return values_; }
    std::vector<std::vector<std::string>>& ids() { return ids_; }

private:
    static double minusLog10(double p) { return p > 0 ? -std::log10(p) : p == 0 ? HUGE_VAL : NAN; }

    void take(const ObservedRows& rows)
    {
        const int32_t* positions = rows.positions.data();
        const double* values = rows.values.data();
        const uint8_t* numbers = rows.numbers.data();
        const size_t count = rows.size();
        const std::vector<Window>& ws = *current_; // by start; none wider than widest_
        auto exact = rows.exact.begin(); // the next row whose -log10(p) its text gives
        size_t j = 0;                    // the probe's next row
        for (size_t i = 0; i < count; ++i) {
            const bool fromText = exact != rows.exact.end() && exact->row == i;
            const double textValue = fromText ? (exact++)->log10p : 0;
            const bool placed = j < probe_.positions.size() && probe_.positions[j] == positions[i];
            const size_t idRow = j;
            j += placed;
            if (!numbers[i] || !placed)
                continue;
            const int64_t p = positions[i];
            auto it = std::upper_bound(ws.begin(), ws.end(), p, [](int64_t x, const Window& w) { return x < w.from; });
            while (it != ws.begin()) {
                const Window& w = *--it;
                if (w.from < p - widest_)
                    break; // it, and every window starting earlier, ends before p
                if (w.to < p)
                    continue;
                positions_[w.locus].push_back(positions[i]);
                values_[w.locus].push_back(fromText ? textValue : log10_ ? values[i] : minusLog10(values[i]));
                ids_[w.locus].emplace_back(probe_.id(idRow));
            }
        }
    }

    const std::map<std::string, std::vector<Window>, std::less<>>& windows_;
    const bool log10_;
    const std::vector<Window>* current_ = nullptr;
    int64_t widest_ = 0;
    RowIds probe_;
    std::vector<std::vector<int32_t>> positions_;
    std::vector<std::vector<double>> values_;
    std::vector<std::vector<std::string>> ids_;
};

// The window row of the r² reference: the first row of a -regional-ld-ref
// variant that this locus owns (refOwner: its lead is the nearest), else the
// lead's own row (its position, and its id where the table has ids).
int64_t referenceRow(const RegionalFigure& f, const std::map<std::string, size_t>& refOwner, size_t k)
{
    for (size_t i = 0; i < f.ids.size(); ++i) {
        const auto it = refOwner.find(f.ids[i]);
        if (it != refOwner.end() && it->second == k)
            return static_cast<int64_t>(i);
    }
    int64_t byPlace = -1;
    for (size_t i = 0; i < f.positions.size(); ++i) {
        if (f.positions[i] != f.leadPosition)
            continue;
        if (i < f.ids.size() && f.ids[i] == f.leadId)
            return static_cast<int64_t>(i);
        if (byPlace < 0)
            byPlace = static_cast<int64_t>(i);
    }
    return byPlace;
}

// For each -regional-ld-ref id found in some window: the locus whose lead
// is nearest to it among the windows holding it (ties: the first locus).
std::map<std::string, size_t> referenceOwners(const std::vector<std::string>& refs, const std::vector<Locus>& all,
                                              const std::vector<std::vector<int32_t>>& positions,
                                              const std::vector<std::vector<std::string>>& ids)
{
    const std::set<std::string> wanted(refs.begin(), refs.end());
    std::map<std::string, std::pair<int64_t, size_t>> best;
    for (size_t k = 0; k < ids.size(); ++k)
        for (size_t i = 0; i < ids[k].size(); ++i) {
            if (!wanted.count(ids[k][i]))
                continue;
            const int64_t d = std::llabs(int64_t(positions[k][i]) - all[k].leadPosition);
            const auto it = best.find(ids[k][i]);
            if (it == best.end() || d < it->second.first)
                best[ids[k][i]] = {d, k};
        }
    std::map<std::string, size_t> owner;
    for (const auto& [id, b] : best)
        owner[id] = b.second;
    return owner;
}

// The status in words: "merged: its peak also overlaps locus ID",
// "split: 2 peaks" and the like.
std::string statusNote(const RegionalJob& r, size_t k)
{
    const LociCandidates& c = r.notes.candidates;
    const std::vector<Locus>& all = r.loci.result.loci;
    const Locus& l = all[k];
    switch (l.status) {
    case LocusStatus::NoPeak:
        return "no_peak: no reported peak overlaps it";
    case LocusStatus::Peak:
        return "peak: one reported peak overlaps it";
    case LocusStatus::Split:
        return "split: " + std::to_string(l.peaks) + " peaks";
    case LocusStatus::Merged:
        break;
    }
    // The other loci that the locus's peak overlaps, as crossReference
    // counts an overlap: closed ranges on the same chromosome name.
    std::vector<std::string> others;
    const size_t peak = r.loci.result.overlaps[l.firstOverlap];
    const PeakFeatures& p = r.peaks[peak].features;
    const int64_t lo = std::min(p.firstPosition, p.lastPosition), hi = std::max(p.firstPosition, p.lastPosition);
    for (size_t j = 0; j < all.size(); ++j) {
        const Locus& o = all[j];
        if (j == k || c.chromosomes[o.chromosome] != c.chromosomes[l.chromosome] || o.end < lo || o.start > hi)
            continue;
        others.push_back(leadIdOf(c, o));
    }
    std::string text = "merged: its peak also overlaps locus";
    if (others.size() > 1)
        text += "es";
    for (size_t j = 0; j < others.size() && j < 3; ++j)
        text += (j ? ", " : " ") + others[j];
    if (others.size() > 3)
        text += " and " + std::to_string(others.size() - 3) + " more";
    return text;
}

} // namespace

namespace {

// The figure of locus k from its window's rows, without LD.
RegionalFigure figureOf(const RegionalJob& r, size_t k, int64_t half, WindowRows& rows)
{
    const LociCandidates& c = r.notes.candidates;
    const std::vector<Locus>& all = r.loci.result.loci;
    const Locus& l = all[k];
    RegionalFigure f;
    f.chromosome = c.chromosomes[l.chromosome];
    const Window w = regionalWindow(l, half, k);
    f.windowStart = w.from;
    f.windowEnd = w.to;
    f.positions = std::move(rows.positions()[k]);
    f.values = std::move(rows.values()[k]);
    f.ids = std::move(rows.ids()[k]);
    f.leadPosition = l.leadPosition;
    f.leadId = leadIdOf(c, l);
    f.leadValue = l.log10p;
    f.genomeWide = -std::log10(r.layout.lociThreshold);
    f.status = statusWord(l.status);
    f.statusNote = statusNote(r, k);
    for (uint32_t j = 0; j < l.peaks; ++j) {
        const PeakFeatures& p = r.peaks[r.loci.result.overlaps[l.firstOverlap + j]].features;
        char gqs[32];
        std::snprintf(gqs, sizeof gqs, "%.2f", p.quality);
        f.peaks.push_back(
            {static_cast<int32_t>(p.firstPosition), static_cast<int32_t>(p.lastPosition), p.quality, gqs});
    }
    for (size_t j = 0; j < all.size(); ++j) {
        const Locus& o = all[j];
        if (j != k && o.chromosome == l.chromosome && o.leadPosition >= w.from && o.leadPosition <= w.to)
            f.otherLoci.push_back({o.leadPosition, leadIdOf(c, o), o.log10p, o.start, o.end});
    }
    if (const GeneIndex* genes = r.job.shared.genes) {
        const std::vector<GeneRef> track = genes->overlapping(f.chromosome, f.windowStart, f.windowEnd);
        const std::vector<int> rowsOf = geneTrackRows(track);
        for (size_t g = 0; g < track.size(); ++g) {
            const GeneRef& t = track[g];
            f.genes.push_back({std::string(t.name), t.start, t.end, rowsOf[g], t.strand,
                               std::vector<std::pair<int64_t, int64_t>>(t.exons, t.exons + t.exonCount)});
        }
    }
    return f;
}

std::string fileNameOfPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Fills the figures' r² from the panel; false with the reason in why.
bool addLd(const RegionalJob& r, const LdPanel& panel, const std::map<std::string, size_t>& owners,
           const std::vector<size_t>& loci, std::vector<RegionalFigure>& figures, std::string& why)
{
    std::vector<WindowMarkers> windows;
    for (size_t i = 0; i < figures.size(); ++i) {
        const RegionalFigure& f = figures[i];
        windows.push_back({f.chromosome, &f.positions, &f.ids, referenceRow(f, owners, loci[i])});
    }
    std::vector<std::vector<float>> r2;
    std::vector<uint8_t> found;
    if (!windowR2(panel, windows, r2, found, why)) {
        why = "the LD panel cannot be read for the regional figures: " + why;
        return false;
    }
    const std::string samples = panelSamplesText(panel, r.options.ldSamples);
    for (size_t i = 0; i < figures.size(); ++i) {
        RegionalFigure& f = figures[i];
        const int64_t ref = windows[i].reference;
        const size_t at = static_cast<size_t>(ref);
        f.ldReference = ref < 0 ? f.leadId
                        : at < f.ids.size() && !f.ids[at].empty() ? f.ids[at]
                                                                   : f.chromosome + ":" + std::to_string(f.positions[at]);
        f.ldReferenceInPanel = found[i] != 0;
        f.ldPanel = fileNameOfPath(panel.name);
        f.ldSamples = samples;
        f.r2 = std::move(r2[i]);
    }
    return true;
}

} // namespace

bool regionalFigures(const RegionalJob& r, const std::vector<bool>& wanted,
                     const std::function<bool(size_t, const RegionalFigure&)>& each, std::string& why,
                     std::vector<std::string>* unusedReferences)
{
    const RunOptions& options = r.options;
    const std::string& table = r.job.table;
    const LociCandidates& c = r.notes.candidates;
    const std::vector<Locus>& all = r.loci.result.loci;
    const int64_t half = std::max<int64_t>(options.lociWindow / 2, kMinRegionalHalfWidth);
    std::map<std::string, std::vector<Window>, std::less<>> windows;
    for (size_t k = 0; k < all.size(); ++k)
        if (wanted[k])
            windows[c.chromosomes[all[k].chromosome]].push_back(regionalWindow(all[k], half, k));
    for (auto& [name, list] : windows)
        std::sort(list.begin(), list.end(), [](const Window& a, const Window& b) { return a.from < b.from; });
    WindowRows rows(windows, all.size(), r.layout.log10Values);
    struct stat st;
    auto source = stat(table.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? openTable(options, table).source : nullptr;
    TableReading again;
    if (!source || !readTable(std::move(source), r.layout, options.analysis.inlimit, [](ChromosomeBatch&) {}, again,
                              &rows, rows.probe())) {
        why = "the table '" + table + "' cannot be read a second time (it is not a plain file, or it changed)";
        return false;
    }
    const LdPanel* panel = r.job.shared.ldPanel;
    std::map<std::string, size_t> owners;
    if (panel && !options.regionalLdRefs.empty())
        owners = referenceOwners(options.regionalLdRefs, all, rows.positions(), rows.ids());
    for (const std::string& id : options.regionalLdRefs)
        if (unusedReferences && panel && !owners.count(id) &&
            std::find(unusedReferences->begin(), unusedReferences->end(), id) == unusedReferences->end())
            unusedReferences->push_back(id);
    // In batches of loci, so that one pass over the panel serves many
    // windows while the genotypes held stay bounded.
    for (size_t k = 0; k < all.size();) {
        std::vector<RegionalFigure> batch;
        std::vector<size_t> loci;
        size_t markers = 0;
        for (; k < all.size() && markers < kLdBatchMarkers; ++k) {
            if (!wanted[k])
                continue;
            batch.push_back(figureOf(r, k, half, rows));
            loci.push_back(k);
            markers += batch.back().positions.size() + 1;
        }
        if (panel && !batch.empty() && !addLd(r, *panel, owners, loci, batch, why))
            return false;
        for (size_t i = 0; i < batch.size(); ++i)
            if (!each(loci[i], batch[i]))
                return true; // the figure's taker stopped, with its reason
    }
    return true;
}
