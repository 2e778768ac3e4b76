// The page's view data from the run's structures.
#include "cli/page_view.h"

#include "base/chromosome_names.h"
#include "report/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

void PageMarkers::take(const ChromosomeBatch& batch)
{
    const auto [slot, added] = index_.emplace(batch.chromosome, static_cast<uint32_t>(chromosomes_.size()));
    if (added)
        chromosomes_.push_back(batch.chromosome);
    const double log10Limit = -std::log10(limit_);
    for (size_t i = 0; i < batch.positions.size(); ++i) {
        const double v = batch.pvalues[i];
        const double log10p = batch.valuesAreLog10 ? v : -std::log10(v);
        // A p below 0 (kept by the analysis, warned of) is no point.
        if (!(batch.valuesAreLog10 ? v >= log10Limit : v <= limit_) || std::isnan(log10p))
            continue;
        if (!(log10p > floor_)) {
            ++dropped_;
            continue;
        }
        page::ViewMarker m;
        m.chromosome = slot->second;
        m.position = batch.positions[i];
        m.log10p = log10p;
        m.p = page::pText(v, batch.valuesAreLog10);
        if (i < batch.ids.size())
            m.id = batch.ids[i];
        markers_.push_back(std::move(m));
        if (markers_.size() > 2 * keep_)
            prune();
    }
}

void PageMarkers::prune()
{
    const auto stronger = [](const page::ViewMarker& a, const page::ViewMarker& b) { return a.log10p > b.log10p; };
    std::nth_element(markers_.begin(), markers_.begin() + static_cast<std::ptrdiff_t>(keep_), markers_.end(), stronger);
    floor_ = std::max(floor_, markers_[keep_].log10p);
    const auto gone = std::stable_partition(markers_.begin(), markers_.end(),
                                            [&](const page::ViewMarker& m) { return m.log10p > floor_; });
    dropped_ += static_cast<size_t>(markers_.end() - gone);
    markers_.erase(gone, markers_.end());
}

namespace {

// Thin-layer columns across the whole genome: as many as the figure's grid
// may hold, so the layer is no coarser than the figure's.
constexpr int64_t kThinColumns = 16384;
constexpr int kThinBins = 64;

// Sets chromosome v's thin masks from the grid's cells below the point
// limit. Invariant: column c holds the grid's x cells whose middle lies in
// [first + c * w, first + (c + 1) * w), bin b the y cells whose value lies
// in [b, b + 1) * thinTop / 64.
void thinLayer(const PlotModel& model, const PlotChromosome& grid, double thinTop, page::ViewChromosome& v)
{
    v.thin.assign(static_cast<size_t>((v.last - v.first) / v.thinColumnBp + 1), 0);
    for (uint32_t k = 0; k < grid.cols; ++k) {
        const uint32_t col = grid.colLo + k;
        const double middle = std::clamp(model.xCellPosition(col), double(v.first), double(v.last));
        const size_t c = static_cast<size_t>((int64_t(middle) - v.first) / v.thinColumnBp);
        for (int w = 0; w < kPlotCellWords; ++w) {
            uint64_t bits = grid.cells[size_t(k) * kPlotCellWords + size_t(w)];
            while (bits) {
                const int y = w * 64 + __builtin_ctzll(bits);
                bits &= bits - 1;
                if (y >= kPlotTopCell)
                    continue;
                const double value = model.yCellValue(y);
                if (value >= 0 && value < thinTop)
                    v.thin[std::min(c, v.thin.size() - 1)] |= uint64_t(1) << int(value / thinTop * kThinBins);
            }
        }
    }
}

} // namespace

page::ViewData pageView(const PlotModel* model, PageMarkers&& markers, const TableLoci& loci,
                        const TableReading& notes, size_t pointBytes, size_t lociShown)
{
    page::ViewData view;
    view.pointLimit = markers.limit();
    // The chromosomes: the figure's (its merged slot left out), then any
    // other that has a point or a locus.
    std::vector<page::ViewChromosome> found;
    std::vector<const PlotChromosome*> grids;
    std::unordered_map<std::string, size_t> at;
    auto slot = [&](const std::string& name) {
        const auto [it, added] = at.emplace(name, found.size());
        if (added) {
            found.push_back({name, std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(), {}, 1});
            grids.push_back(nullptr);
        }
        return it->second;
    };
    auto extend = [&](size_t c, int64_t position) {
        found[c].first = std::min(found[c].first, position);
        found[c].last = std::max(found[c].last, position);
    };
    if (model)
        for (const PlotChromosome& c : model->chromosomes)
            if (!c.isOther() && c.rows > 0) {
                const size_t k = slot(c.name);
                grids[k] = &c;
                extend(k, c.minPosition);
                extend(k, c.maxPosition);
            }
    std::vector<size_t> markerChromosome;
    for (const std::string& name : markers.chromosomes())
        markerChromosome.push_back(slot(name));
    for (const page::ViewMarker& m : markers.markers())
        extend(markerChromosome[m.chromosome], m.position);
    const LociCandidates& cand = notes.candidates;
    for (const Locus& l : loci.result.loci) {
        const size_t k = slot(cand.chromosomes[l.chromosome]);
        extend(k, l.start);
        extend(k, l.end);
    }
    for (page::ViewChromosome& c : found)
        if (c.first > c.last)
            c.first = c.last = 0;

    std::vector<std::string> names;
    for (const page::ViewChromosome& c : found)
        names.push_back(c.name);
    const std::vector<int> order = naturalChromosomeOrder(names);
    std::vector<uint32_t> newIndex(found.size());
    int64_t total = 0;
    for (const page::ViewChromosome& c : found)
        total += c.last - c.first + 1;
    const int64_t columnBp = std::max<int64_t>(1, (total + kThinColumns - 1) / kThinColumns);
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t from = static_cast<size_t>(order[i]);
        newIndex[from] = static_cast<uint32_t>(i);
        view.chromosomes.push_back(std::move(found[from]));
        view.chromosomes.back().thinColumnBp = columnBp;
    }

    view.markers = std::move(markers.markers());
    for (page::ViewMarker& m : view.markers)
        m.chromosome = newIndex[markerChromosome[m.chromosome]];
    const size_t dropped = markers.dropped();
    page::keepStrongestPoints(view, pointBytes);
    if (dropped > 0) { // the points are those stronger than every marker dropped
        double weakest = std::numeric_limits<double>::infinity();
        for (const page::ViewMarker& m : view.markers)
            weakest = std::min(weakest, m.log10p);
        view.pointLimit = std::min(view.pointLimit, view.markers.empty() ? std::numeric_limits<double>::min()
                                                                         : std::pow(10.0, -weakest));
        view.pointsLeftOut += dropped;
        if (!(view.pointLimit > 0))
            view.pointLimit = std::numeric_limits<double>::min();
    }
    const double thinTop = -std::log10(view.pointLimit);
    for (size_t from = 0; from < found.size(); ++from)
        if (grids[from])
            thinLayer(*model, *grids[from], thinTop, view.chromosomes[newIndex[from]]);

    const std::vector<std::string>& extra = loci.genes.names;
    const auto column = [&](const char* name) {
        return static_cast<int>(std::find(extra.begin(), extra.end(), name) - extra.begin());
    };
    const int nearest = column("nearest_gene"), genes = column("genes");
    for (size_t k = 0; k < std::min(lociShown, loci.result.loci.size()); ++k) {
        const Locus& l = loci.result.loci[k];
        page::ViewLocus v;
        v.chromosome = newIndex[at[cand.chromosomes[l.chromosome]]];
        v.start = l.start;
        v.end = l.end;
        v.leadPosition = l.leadPosition;
        v.leadId = std::string(cand.id(l.lead));
        v.log10p = formatReal(l.log10p);
        v.status = statusWord(l.status);
        std::vector<std::string> fields;
        if (k < loci.genes.values.size()) {
            const std::string& text = loci.genes.values[k];
            for (size_t from = 0;;) {
                const size_t tab = text.find('\t', from);
                fields.push_back(text.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
                if (tab == std::string::npos)
                    break;
                from = tab + 1;
            }
        }
        if (nearest < static_cast<int>(fields.size()) && fields[size_t(nearest)] != ".")
            v.nearestGene = fields[size_t(nearest)];
        if (genes < static_cast<int>(fields.size())) {
            const std::string& list = fields[size_t(genes)];
            for (size_t from = 0; from < list.size();) {
                size_t comma = list.find(',', from);
                if (comma == std::string::npos)
                    comma = list.size();
                const std::string gene = list.substr(from, comma - from);
                if (!gene.empty() && gene != "." && gene[0] != '+')
                    v.genes.push_back(gene);
                from = comma + 1;
            }
        }
        view.loci.push_back(std::move(v));
    }
    return view;
}

std::string regionalJson(const RegionalFigure& f)
{
    using page::jsonNumber;
    using page::jsonString;
    std::string out = "{\"c\":" + jsonString(f.chromosome) + ",\"a\":" + std::to_string(f.windowStart) +
                      ",\"b\":" + std::to_string(f.windowEnd) + ",\"lx\":" + std::to_string(f.leadPosition) +
                      ",\"lid\":" + jsonString(f.leadId) + ",\"ly\":" + jsonNumber(f.leadValue) +
                      ",\"gw\":" + jsonNumber(f.genomeWide) + ",\"st\":" + jsonString(f.status) +
                      ",\"ref\":" + jsonString(f.ldReference) + ",\"panel\":" + jsonString(f.ldPanel) +
                      ",\"samples\":" + jsonString(f.ldSamples) + ",\"x\":[";
    for (size_t i = 0; i < f.positions.size(); ++i)
        out += (i ? "," : "") + std::to_string(f.positions[i]);
    out += "],\"y\":[";
    char buffer[32];
    for (size_t i = 0; i < f.values.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%.4g", f.values[i]);
        out += (i ? "," : "") + (std::isfinite(f.values[i]) ? std::string(buffer) : jsonNumber(f.values[i]));
    }
    out += "],\"id\":[";
    for (size_t i = 0; i < f.ids.size(); ++i)
        out += (i ? "," : "") + jsonString(f.ids[i]);
    out += "]";
    if (!f.r2.empty()) {
        out += ",\"r2\":[";
        for (size_t i = 0; i < f.r2.size(); ++i) {
            std::snprintf(buffer, sizeof buffer, "%.3g", double(f.r2[i]));
            out += (i ? "," : "") + (std::isfinite(f.r2[i]) ? std::string(buffer) : std::string("null"));
        }
        out += "]";
    }
    out += ",\"peaks\":[";
    for (size_t i = 0; i < f.peaks.size(); ++i)
        out += std::string(i ? "," : "") + "[" + std::to_string(f.peaks[i].first) + "," +
               std::to_string(f.peaks[i].last) + "," + jsonNumber(f.peaks[i].gqs) + "," +
               jsonString(f.peaks[i].gqsText) + "]";
    out += "],\"genes\":[";
    for (size_t i = 0; i < f.genes.size(); ++i) {
        const RegionalGene& g = f.genes[i];
        out += std::string(i ? "," : "") + "{\"n\":" + jsonString(g.name) + ",\"s\":" + std::to_string(g.start) +
               ",\"e\":" + std::to_string(g.end) + ",\"r\":" + std::to_string(std::max(0, g.row)) + ",\"d\":\"" +
               (g.strand == '+' || g.strand == '-' ? std::string(1, g.strand) : std::string()) + "\",\"x\":[";
        for (size_t e = 0; e < g.exons.size(); ++e)
            out += std::string(e ? "," : "") + "[" + std::to_string(g.exons[e].first) + "," +
                   std::to_string(g.exons[e].second) + "]";
        out += "]}";
    }
    return out + "]}";
}
