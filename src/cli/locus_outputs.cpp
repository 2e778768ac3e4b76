// Loci outputs: the loci (by distance or by LD), their file, their marks on
// the Manhattan figure and the regional figures' names and files (their
// data comes from regional_figures.cpp).
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

std::string leadId(const LociCandidates& c, const Locus& l)
{
    const std::string_view id = c.id(l.lead);
    return id.empty() ? c.chromosomes[l.chromosome] + ":" + std::to_string(l.leadPosition) : std::string(id);
}

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
    // A VCF panel's blocks are inflated ahead by one reading thread even
    // with -threads 1, as a table's lines are split on a reading thread of
    // their own: inflating is most of a VCF's cost, and the table's reading
    // threads are idle by now.
    std::optional<ThreadPool> reading;
    const bool vcf = std::any_of(panel.parts.begin(), panel.parts.end(), [](const PanelPart& p) { return p.vcf; });
    if (!pool && vcf)
        reading.emplace(1);
    ThreadPool* readPool = pool ? &*pool : reading ? &*reading : nullptr;
    PanelMatch match;
    if (!matchCandidates(notes.candidates, panel, effect, other, match, t.ldError, readPool))
        return false;
    reading.reset();
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
                   const std::vector<ReportedPeak>& peaks, const std::vector<std::string>& carriedNames,
                   const std::function<void(const std::string&)>& alsoTo)
{
    writeLociFile(
        loci.result, notes.candidates, peaks, carriedNames,
        [&](const std::string& piece) {
            file.write(piece);
            if (alsoTo)
                alsoTo(piece);
        },
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
    collector.reserveLoci(loci.result.loci.size());
    for (size_t k = 0; k < loci.result.loci.size(); ++k) {
        const Locus& l = loci.result.loci[k];
        collector.addLocus({c.chromosomes[l.chromosome], l.leadPosition, l.log10p, loci.label(k, c),
                            statusWord(l.status)});
    }
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

bool RegionalWriter::write(size_t k, const Scene& scene)
{
    const std::string path = r_.job.outputs.regionalFolder + "/" + names_[k];
    if (r_.job.shared.paths) {
        const PathConflict conflict = r_.job.shared.paths->claim(path, "regional figure", r_.job.index);
        if (!conflict.empty()) {
            stop(o_, conflict.message, conflict.reason);
            return false;
        }
    }
    QString error;
    const QByteArray figure = renderFigure(scene, format_, &error);
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
