// What a table's loci give beyond the summary: the gene columns, the loci
// file, the loci marks of the Manhattan figure and one regional figure per
// locus.
#pragma once
#include "loci_text.h"
#include "options.h"
#include "output_file.h"
#include "plot_collector.h"
#include "table_reader.h"

#include <QByteArray>
#include <string>
#include <vector>

class GeneIndex;
struct LdPanel;

// The table's loci, cross-referenced with its peaks, with what the genes
// add to each (nothing without an annotation).
struct TableLoci {
    LociResult result;
    LociExtraColumns genes;        // nearest_gene, gene_distance, genes
    std::vector<std::string> notes; // "nearest gene NAME" per locus, for the summary
    std::vector<std::string> labels; // per locus: its nearest gene, else its lead id
    // With an LD panel: the members file's text, the lines for standard
    // error, and why the panel could not be read (empty when it could).
    std::string membersText, ldNotes, ldError;
};

// The loci by distance windows, or by LD clumping against the panel of
// table when it has one (its allele columns found among carriedNames).
struct LdInput {
    const LdPanel* panel = nullptr;
    std::string table;
    std::vector<std::string> carriedNames;
};
TableLoci tableLoci(const RunOptions& options, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                    const GeneIndex* genes, const LdInput& ld = {});

// The loci file's whole text.
std::string lociText(const TableLoci& loci, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                     const std::vector<std::string>& carriedNames);

// Marks every locus on the Manhattan figure.
void addLociToPlot(PlotCollector& collector, const TableLoci& loci, const ReadNotes& notes);

// The regional figures (SVG) of the loci marked in wanted (by index; an
// empty text for the others), from a second reading of the table that
// keeps only the rows inside their windows. False with the reason in why
// when the table cannot be read again.
bool regionalFigureSvgs(const RunOptions& options, const std::string& table, const TableLayout& layout,
                        const TableLoci& loci, const ReadNotes& notes, const std::vector<ReportedPeak>& peaks,
                        const GeneIndex* genes, const std::vector<bool>& wanted, std::vector<QByteArray>& svgs,
                        std::string& why);

// Writes every locus's figure into folder (created when missing, its
// parents not) in -regional-format, each as a finished output file named
// CHROM_LEADPOSITION.EXT. False with the reason in why.
bool writeRegionalFigures(const RunOptions& options, const TableLoci& loci, const ReadNotes& notes,
                          const std::vector<QByteArray>& svgs, const std::string& folder, TemporaryFiles& temps,
                          std::vector<OutputFile>& finished, std::string& why);
