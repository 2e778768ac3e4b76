// Loci outputs. The regional figures read the table a second time and keep
// only the rows inside some locus's window, so their memory is that of the
// windows, whatever the table's size or order.
#include "locus_outputs.h"

#include "byte_source.h"
#include "gene_columns.h"
#include "number_format.h"
#include "regional_svg.h"
#include "table_source.h"

#include <QString>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
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

TableLoci tableLoci(const RunOptions& options, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                    const GeneIndex* genes)
{
    TableLoci t;
    t.result = findLoci(notes.candidates, options.lociWindow);
    crossReference(t.result, notes.candidates, peaks);
    const LociCandidates& c = notes.candidates;
    if (genes)
        t.genes.names = {"nearest_gene", "gene_distance", "genes"};
    for (const Locus& l : t.result.loci) {
        std::string label = leadId(c, l);
        if (genes) {
            const std::string& chrom = c.chromosomes[l.chromosome];
            const GeneColumns g = geneColumns(*genes, chrom, l.leadPosition, l.start, l.end);
            t.genes.values.push_back(g.nearestGene + "\t" + g.geneDistance + "\t" + g.genes);
            t.notes.push_back(g.nearestGene == "." ? "no gene on its chromosome" : "nearest gene " + g.nearestGene);
            if (g.nearestGene != ".")
                label = g.nearestGene;
        }
        t.labels.push_back(label);
    }
    return t;
}

std::string lociText(const TableLoci& loci, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                     const std::vector<std::string>& carriedNames)
{
    return lociFileText(loci.result, notes.candidates, peaks, carriedNames, loci.genes);
}

void addLociToPlot(PlotCollector& collector, const TableLoci& loci, const ReadNotes& notes)
{
    const LociCandidates& c = notes.candidates;
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        collector.addLocus({c.chromosomes[l.chromosome], l.leadPosition, l.log10p, loci.labels[k],
                            statusWord(l.status)});
    }
}

bool regionalFigureSvgs(const RunOptions& options, const std::string& table, const TableLayout& layout,
                        const TableLoci& loci, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                        const GeneIndex* genes, const std::vector<bool>& wanted, std::vector<QByteArray>& svgs,
                        std::string& why)
{
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
    ReadNotes again;
    if (!source || !readTable(std::move(source), layout, options.analysis.inlimit, [](ChromosomeBatch&) {}, again,
                              &rows)) {
        why = "the table '" + table + "' cannot be read a second time (it is not a plain file, or it changed)";
        return false;
    }
    svgs.assign(all.size(), QByteArray());
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
                f.genes.push_back({std::string(track[g].name), track[g].start, track[g].end, rowsOf[g]});
        }
        svgs[k] = regionalSvg(f, RegionalSettings());
    }
    return true;
}

bool writeRegionalFigures(const RunOptions& options, const TableLoci& loci, const ReadNotes& notes,
                          const std::vector<QByteArray>& svgs, const std::string& folder, TemporaryFiles& temps,
                          std::vector<OutputFile>& finished, std::string& why)
{
    if (const int error = makeFolder(folder)) {
        why = error == EEXIST ? "'" + folder + "' is not a folder"
                              : "cannot create the folder '" + folder + "': " + std::strerror(error);
        return false;
    }
    FigureFormat format = FigureFormat::Svg;
    figureFormatOfWord(QString::fromStdString(options.regionalFormat), &format);
    const RegionalSettings settings;
    const LociCandidates& c = notes.candidates;
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        QString error;
        const QByteArray figure = renderFigure(svgs[k], format, QSize(settings.width, settings.height), &error);
        const std::string path = folder + "/" + regionalFileName(c.chromosomes[l.chromosome], l.leadPosition, format);
        OutputFile file(temps);
        if (figure.isEmpty() || !file.open(path)) {
            why = "the regional figure '" + path + "' could not be made: " +
                  (figure.isEmpty() ? error.toStdString() : std::strerror(errno));
            return false;
        }
        file.write(std::string_view(figure.constData(), static_cast<size_t>(figure.size())));
        if (!file.close()) {
            why = "the regional figure '" + path + "' could not be written: " + std::strerror(file.error());
            return false;
        }
        finished.push_back(std::move(file));
    }
    return true;
}
