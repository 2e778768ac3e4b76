// Loci outputs. The regional figures read the table a second time and keep
// only the rows inside some locus's window, so their memory is that of the
// windows, whatever the table's size or order.
#include "cli/locus_outputs.h"

#include "ld/ld_text.h"

#include "io/byte_source.h"
#include "genes/gene_columns.h"
#include "report/number_format.h"
#include "cli/output_files.h"
#include "cli/output_plan.h"
#include "plot/regional_svg.h"
#include "cli/table_source.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace {

constexpr int64_t kMinRegionalHalfWidth = 100000;

std::string leadId(const LociCandidates& c, const Locus& l)
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

// Collects the rows inside the windows, per locus, with their -log10(p):
// NaN for a negative p.
class WindowRows : public RowObserver {
public:
    WindowRows(const std::map<std::string, std::vector<Window>, std::less<>>& windows, size_t loci, bool log10Values)
        : windows_(windows), log10_(log10Values), positions_(loci), values_(loci)
    {
    }

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
        if (!current_)
            return;
        const int32_t* positions = rows.positions.data();
        const double* values = rows.values.data();
        const uint8_t* numbers = rows.numbers.data();
        const size_t count = rows.size();
        const std::vector<Window>& ws = *current_; // by start; none wider than widest_
        auto exact = rows.exact.begin(); // the next row whose -log10(p) its text gives
        for (size_t i = 0; i < count; ++i) {
            const bool fromText = exact != rows.exact.end() && exact->row == i;
            const double textValue = fromText ? (exact++)->log10p : 0;
            if (!numbers[i])
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
            }
        }
    }

    std::vector<std::vector<int32_t>>& positions() { return positions_; }
    std::vector<std::vector<double>>& values() { return values_; }

private:
    static double minusLog10(double p) { return p > 0 ? -std::log10(p) : p == 0 ? HUGE_VAL : NAN; }

    const std::map<std::string, std::vector<Window>, std::less<>>& windows_;
    const bool log10_;
    const std::vector<Window>* current_ = nullptr;
    int64_t widest_ = 0;
    std::vector<std::vector<int32_t>> positions_;
    std::vector<std::vector<double>> values_;
};

} // namespace

namespace {

// The carried column named like an allele column of the given kind; -1
// when none is.
int alleleField(const std::vector<std::string>& names, std::initializer_list<const char*> words)
{
    for (size_t k = 0; k < names.size(); ++k) {
        std::string lower = names[k];
        for (char& ch : lower)
            ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
        for (const char* w : words)
            if (lower == w)
                return static_cast<int>(k);
    }
    return -1;
}

// Clumps the candidates against the panel into t; false with t.ldError set
// when the panel's genotypes cannot be read.
bool ldLoci(const RunOptions& options, const TableReading& notes, const LdInput& in, TableLoci& t,
            std::vector<std::string>& clumpedBy)
{
    const LdPanel& panel = *in.panel;
    const std::vector<std::string>& carriedNames = in.carriedNames;
    const int effect = alleleField(carriedNames, {"a1", "ea", "effect_allele", "allele1", "alt", "tested_allele"});
    const int other = alleleField(carriedNames, {"a2", "nea", "other_allele", "allele0", "allele2", "ref"});
    // -threads N reads the panel's parts and clumps the chromosomes on N
    // threads (the caller's and N - 1 more), to the same loci.
    std::optional<ThreadPool> pool;
    if (options.threads > 1)
        pool.emplace(options.threads - 1);
    PanelMatch match;
    if (!matchCandidates(notes.candidates, panel, effect, other, match, t.ldError, pool ? &*pool : nullptr))
        return false;
    LdSettings s;
    s.p = options.layout.lociThreshold;
    s.p2 = options.lociP2;
    s.r2 = options.lociR2;
    s.window = options.lociWindow;
    LdLoci ld = clumpByLd(notes.candidates, match.slot, match.planes, s, pool ? &*pool : nullptr);
    t.membersText = ldMembersText(ld, notes.candidates);
    t.ldNotes = ldNotes(in.table, ld, match);
    clumpedBy = clumpedByWords(ld);
    t.result = std::move(ld.result);
    return true;
}

} // namespace

TableLoci tableLoci(const RunOptions& options, const TableReading& notes, const std::vector<ReportedPeak>& peaks,
                    const GeneIndex* genes, const LdInput& ld)
{
    TableLoci t;
    std::vector<std::string> clumpedBy;
    const LdPanel* panel = ld.panel;
    if (!panel)
        t.result = findLoci(notes.candidates, options.lociWindow);
    else if (!ldLoci(options, notes, ld, t, clumpedBy))
        return t;
    crossReference(t.result, notes.candidates, peaks);
    const LociCandidates& c = notes.candidates;
    if (panel)
        t.genes.names.push_back("clumped_by");
    if (genes)
        t.genes.names.insert(t.genes.names.end(), {"nearest_gene", "gene_distance", "genes"});
    for (size_t k = 0; (panel || genes) && k < t.result.loci.size(); ++k) {
        const Locus& l = t.result.loci[k];
        std::string extra = panel ? clumpedBy[k] : std::string();
        if (genes) {
            const std::string& chrom = c.chromosomes[l.chromosome];
            GeneColumns g = geneColumns(*genes, chrom, l.leadPosition, l.start, l.end);
            extra += (panel ? "\t" : "") + g.nearestGene + "\t" + g.geneDistance + "\t" + g.genes;
            t.nearestGenes.push_back(std::move(g.nearestGene));
        }
        t.genes.values.push_back(std::move(extra));
    }
    return t;
}

std::string TableLoci::label(size_t k, const LociCandidates& c) const
{
    if (k < nearestGenes.size() && nearestGenes[k] != ".")
        return nearestGenes[k];
    return leadId(c, result.loci[k]);
}

std::string TableLoci::note(size_t k) const
{
    if (k >= nearestGenes.size())
        return {};
    return nearestGenes[k] == "." ? "no gene on its chromosome" : "nearest gene " + nearestGenes[k];
}

bool writeLociFile(TableOutcome& o, OutputFile&& file, const TableLoci& loci, const TableReading& notes,
                   const std::vector<ReportedPeak>& peaks, const std::vector<std::string>& carriedNames)
{
    writeLociFile(
        loci.result, notes.candidates, peaks, carriedNames, [&](const std::string& piece) { file.write(piece); },
        loci.genes);
    if (file.close()) {
        o.finished.push_back(std::move(file));
        return true;
    }
    stop(o, "Output file could not be written\n",
         "loci file " + quoted(file.path()) + " could not be written: " + std::strerror(file.error()));
    return false;
}

std::string lociText(const TableLoci& loci, const TableReading& notes, const std::vector<ReportedPeak>& peaks,
                     const std::vector<std::string>& carriedNames)
{
    return lociFileText(loci.result, notes.candidates, peaks, carriedNames, loci.genes);
}

void addLociToPlot(PlotCollector& collector, const TableLoci& loci, const TableReading& notes)
{
    const LociCandidates& c = notes.candidates;
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        collector.addLocus({c.chromosomes[l.chromosome], l.leadPosition, l.log10p, loci.label(k, c),
                            statusWord(l.status)});
    }
}

bool regionalFigures(const RegionalJob& r, const std::vector<bool>& wanted,
                     const std::function<bool(size_t, const RegionalFigure&)>& each, std::string& why)
{
    const RunOptions& options = r.options;
    const std::string& table = r.job.table;
    const TableLayout& layout = r.layout;
    const TableLoci& loci = r.loci;
    const TableReading& notes = r.notes;
    const std::vector<ReportedPeak>& peaks = r.peaks;
    const GeneIndex* genes = r.job.shared.genes;
    const LociCandidates& c = notes.candidates;
    const std::vector<Locus>& all = loci.result.loci;
    const int64_t half = std::max<int64_t>(options.lociWindow / 2, kMinRegionalHalfWidth);
    std::map<std::string, std::vector<Window>, std::less<>> windows;
    for (size_t k = 0; k < all.size(); ++k)
        if (wanted[k])
            windows[c.chromosomes[all[k].chromosome]].push_back(regionalWindow(all[k], half, k));
    for (auto& [name, list] : windows)
        std::sort(list.begin(), list.end(), [](const Window& a, const Window& b) { return a.from < b.from; });
    WindowRows rows(windows, all.size(), layout.log10Values);
    struct stat st;
    auto source = stat(table.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? openTable(options, table).source : nullptr;
    TableReading again;
    if (!source || !readTable(std::move(source), layout, options.analysis.inlimit, [](ChromosomeBatch&) {}, again,
                              &rows)) {
        why = "the table '" + table + "' cannot be read a second time (it is not a plain file, or it changed)";
        return false;
    }
    for (size_t k = 0; k < all.size(); ++k) {
        if (!wanted[k])
            continue;
        const Locus& l = all[k];
        RegionalFigure f;
        f.chromosome = c.chromosomes[l.chromosome];
        const Window w = regionalWindow(l, half, k);
        f.windowStart = w.from;
        f.windowEnd = w.to;
        f.positions = std::move(rows.positions()[k]);
        f.values = std::move(rows.values()[k]);
        f.leadPosition = l.leadPosition;
        f.leadId = leadId(c, l);
        f.leadValue = l.log10p;
        f.genomeWide = -std::log10(layout.lociThreshold);
        f.status = statusWord(l.status);
        for (uint32_t j = 0; j < l.peaks; ++j) {
            const PeakFeatures& p = peaks[loci.result.overlaps[l.firstOverlap + j]].features;
            f.peaks.push_back({static_cast<int32_t>(p.firstPosition), static_cast<int32_t>(p.lastPosition), p.quality,
                               formatReal(p.quality)});
        }
        if (genes) {
            const std::vector<GeneRef> track = genes->overlapping(f.chromosome, f.windowStart, f.windowEnd);
            const std::vector<int> rowsOf = geneTrackRows(track);
            for (size_t g = 0; g < track.size(); ++g)
                f.genes.push_back({std::string(track[g].name), track[g].start, track[g].end, rowsOf[g], 0, {}});
        }
        if (!each(k, f))
            return true; // the figure's taker stopped, with its reason
    }
    return true;
}

std::vector<std::string> regionalFileNames(const TableLoci& loci, const TableReading& notes, FigureFormat format,
                                           size_t& clashes)
{
    const LociCandidates& c = notes.candidates;
    std::vector<std::string> names;
    std::map<std::string, int> uses;
    std::set<std::string> taken;
    clashes = 0;
    for (const Locus& l : loci.result.loci) {
        const std::string plain = regionalFileName(c.chromosomes[l.chromosome], l.leadPosition, format);
        std::string name = plain;
        if (!taken.insert(name).second) {
            const std::string extension = std::string(".") + figureExtension(format);
            const std::string stem = plain.substr(0, plain.size() - extension.size());
            int& n = uses[plain];
            do
                name = stem + "-" + std::to_string(++n + 1) + extension;
            while (!taken.insert(name).second);
            ++clashes;
        }
        names.push_back(std::move(name));
    }
    return names;
}

RegionalWriter::RegionalWriter(const RegionalJob& r, TableOutcome& o) : r_(r), o_(o)
{
    figureFormatOfWord(QString::fromStdString(r.options.regionalFormat), &format_);
    size_t clashes = 0;
    names_ = regionalFileNames(r.loci, r.notes, format_, clashes);
    if (clashes > 0)
        warn(o, r.job.table, std::to_string(clashes) + " regional figures would have the name of another locus's "
                             "figure once the chromosome name is made safe for a file name; '-2', '-3', ... "
                             "before the extension keeps them apart");
}

bool RegionalWriter::write(size_t k, const QByteArray& svg)
{
    const std::string path = r_.job.outputs.regionalFolder + "/" + names_[k];
    if (r_.job.shared.paths) {
        const PathConflict conflict = r_.job.shared.paths->claim(path, "regional figure", r_.job.index);
        if (!conflict.empty()) {
            stop(o_, conflict.message, conflict.reason);
            return false;
        }
    }
    const RegionalSettings settings;
    QString error;
    const QByteArray figure = renderFigure(svg, format_, QSize(settings.width, settings.height), &error);
    if (figure.isEmpty()) {
        stop(o_, "Output file could not be written\n",
             "the regional figure " + quoted(path) + " could not be drawn: " + error.toStdString());
        return false;
    }
    OutputFile file(*r_.job.shared.temps);
    if (!file.open(path)) {
        stop(o_, "Output file could not be written\n",
             "cannot create the regional figure " + quoted(path) + ": " + std::strerror(errno));
        return false;
    }
    return writeText(o_, std::move(file), "the regional figure",
                     std::string_view(figure.constData(), static_cast<size_t>(figure.size())));
}
