// What a table's loci give beyond the summary: the gene columns, the loci
// file, the loci marks of the Manhattan figure and one regional figure per
// locus.
#pragma once
#include "loci/loci_text.h"
#include "plot/figure_render.h"
#include "cli/options.h"
#include "cli/table_job.h"
#include "plot/plot_collector.h"
#include "plot/regional_svg.h"
#include "io/table_reader.h"

#include <QByteArray>
#include <functional>
#include <string>
#include <vector>

class GeneIndex;
struct LdPanel;

// The table's loci, cross-referenced with its peaks, with what the genes
// add to each (nothing without an annotation).
struct TableLoci {
    LociResult result;
    LociExtraColumns genes;        // nearest_gene, gene_distance, genes
    // With an annotation, per locus: its nearest gene ("." when its
    // chromosome has none); empty without one.
    std::vector<std::string> nearestGenes;
    // With an LD panel: the members file's text, the lines for standard
    // error, and why the panel could not be read (empty when it could).
    std::string membersText, ldNotes, ldError;

    // Locus k's mark on the Manhattan figure: its nearest gene, else its
    // lead id (or CHROM:POSITION).
    std::string label(size_t k, const LociCandidates& c) const;
    // Locus k's note in the summary: "nearest gene NAME" or "no gene on its
    // chromosome" with an annotation, else "".
    std::string note(size_t k) const;
};

// The loci by distance windows, or by LD clumping against the panel of
// table when it has one (its allele columns found among carriedNames).
struct LdInput {
    const LdPanel* panel = nullptr;
    std::string table;
    std::vector<std::string> carriedNames;
};
TableLoci tableLoci(const RunOptions& options, const TableReading& notes, const std::vector<ReportedPeak>& peaks,
                    const GeneIndex* genes, const LdInput& ld = {});

// The loci file's whole text.
std::string lociText(const TableLoci& loci, const TableReading& notes, const std::vector<ReportedPeak>& peaks,
                     const std::vector<std::string>& carriedNames);

// Writes the loci file into file a piece at a time, never holding its whole
// text; complete, it joins the outcome's finished outputs. False with the
// stop in the outcome when it cannot be written. alsoTo, when given, gets
// each piece too.
bool writeLociFile(TableOutcome& o, OutputFile&& file, const TableLoci& loci, const TableReading& notes,
                   const std::vector<ReportedPeak>& peaks, const std::vector<std::string>& carriedNames,
                   const std::function<void(const std::string&)>& alsoTo = {});

// Marks every locus on the Manhattan figure.
void addLociToPlot(PlotCollector& collector, const TableLoci& loci, const TableReading& notes);

// What the regional figures of one table are drawn from.
struct RegionalJob {
    const RunOptions& options;
    const TableJob& job;
    const TableLayout& layout;
    const TableLoci& loci;
    const TableReading& notes;
    const std::vector<ReportedPeak>& peaks;
};

// The regional figure of each locus marked in wanted (by index), in locus
// order (regional_figures.cpp); each returns false to stop. The rows come
// from a second reading of the table that keeps only the rows inside the
// windows. With an LD panel every window marker gets its r² to the locus's
// reference variant: a -regional-ld-ref id in the window whose lead is
// nearest to it, else the lead; unusedReferences (when given) gets the
// -regional-ld-ref ids found in no wanted window. False with the reason in
// why when the table or the panel cannot be read again.
bool regionalFigures(const RegionalJob& r, const std::vector<bool>& wanted,
                     const std::function<bool(size_t, const RegionalFigure&)>& each, std::string& why,
                     std::vector<std::string>* unusedReferences = nullptr);

// The file names of the loci's figures in format: CHROM_LEADPOSITION.EXT,
// the chromosome's name cleaned to letters, digits, '.', '_' and '-'. Names
// that clean to one get "-2", "-3", ... in locus order before the extension
// (the first keeps its name), so that no figure replaces another; clashes
// counts those renamed.
std::vector<std::string> regionalFileNames(const TableLoci& loci, const TableReading& notes, FigureFormat format,
                                           size_t& clashes);

// Writes loci's figures into the job's regional folder in -regional-format,
// each claimed in the run's path plan and then a finished output of the
// outcome.
class RegionalWriter {
public:
    // Names every locus's figure; warns of names that cleaned to one.
    RegionalWriter(const RegionalJob& r, TableOutcome& o);
    // Writes locus k's figure; false with the stop in the outcome.
    bool write(size_t k, const Scene& scene);

private:
    const RegionalJob& r_;
    TableOutcome& o_;
    FigureFormat format_ = FigureFormat::Svg;
    std::vector<std::string> names_;
};
