// Genome builds of a run's inputs. The annotation's build comes from its
// header lines (#!genome-build, GENCODE's ##description, ##sequence-region
// lengths) or from its genes reaching past one human build's chromosome
// lengths; the table's from -build, from a GWAS-SSF metadata file beside it
// (genome_assembly), from the rsID fingerprint shipped with Quorlin (rsIDs at
// their GRCh37 and GRCh38 positions, src/genes/fingerprint) and from its
// positions reaching past a build's chromosome lengths. Only standard error
// hears of them: the warnings name a table whose genes may come from another
// build.
#pragma once
#include "io/table_reader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class GeneIndex;

// The one name of a build: GRCh37 for GRCh37, GRCh37.p13, hg19, b37 and
// hs37d5; GRCh38 for GRCh38, GRCh38.p14 and hg38; NCBI36 for NCBI36 and
// hg18 (letter case ignored); any other name as given, blanks and quotes
// trimmed.
std::string canonicalBuild(std::string_view name);

// A build as known from the evidence: its name, or the human builds the
// positions rule out.
struct BuildCall {
    std::string build;    // canonical; empty: unknown
    std::string evidence; // how it is known, for the line that names it
    std::vector<std::string> excluded; // GRCh37 and GRCh38 where the positions lie beyond their lengths
    std::string exclusion;             // why

    bool rulesOut(const std::string& name) const;
};

// What the largest position of each chromosome says of GRCh37 and GRCh38:
// a build is ruled out where a position lies beyond its length, and the
// other one named when exactly one is. what starts the evidence's words
// ("genes end", "positions").
BuildCall positionsCall(const std::vector<std::pair<std::string, int64_t>>& largest, const char* what);

// What an annotation's lines tell of its build, gathered as it is read.
class AnnotationBuildNotes {
public:
    // Offers a line starting with '#'.
    void headerLine(std::string_view line);
    // Offers a gene record's chromosome and end.
    void geneEnd(std::string_view chrom, int64_t end);

    BuildCall call() const;

private:
    std::string declared_, declaredBy_;
    std::vector<std::pair<std::string, int64_t>> sequenceLengths_; // ##sequence-region ends
    std::vector<std::pair<std::string, int64_t>> geneEnds_;        // the largest per chromosome
    std::unordered_map<std::string, size_t> geneEndAt_;            // a chromosome's place in geneEnds_
    size_t currentEnd_ = 0;
};

// The standard-error line naming the annotation's build.
std::string annotationBuildLine(const std::string& path, const BuildCall& call);

// Watches a table's rows as it is read: the largest position of each
// chromosome, and the rows whose rsID is in the fingerprint.
class TableBuildProbe : public RowProbe {
public:
    // With layout's header (headerLines > 0) and no id column, the column
    // whose name is an id's (rsid, snp, id, variant_id, ...) is the probe's:
    // the header is looked at from source, which gives every byte again.
    std::unique_ptr<InputSource> prepare(std::unique_ptr<InputSource> source, TableLayout& layout);

    void chromosome(std::string_view name) override;
    void row(int32_t position, std::string_view id) override;

    // The table's build as known without -build.
    BuildCall call(const std::string& table) const;

    long long fingerprintRows() const { return hits_; }
    long long at37() const { return at37_; }
    long long at38() const { return at38_; }
    const std::vector<std::pair<std::string, int64_t>>& extents() const { return extents_; }

private:
    std::vector<std::pair<std::string, int64_t>> extents_; // largest position per chromosome, first-seen order
    std::unordered_map<std::string, size_t> extentAt_;     // a chromosome's place in extents_
    size_t current_ = 0;
    long long hits_ = 0, at37_ = 0, at38_ = 0;
};

// The table's genome build lines for standard error: the build (declared,
// inferred with its evidence, or unknown), and the warnings for a declared
// build the evidence contradicts, for an annotation of another build, and
// for an annotation naming few of the table's chromosomes. annotation and
// genes are null without -genes.
std::string tableBuildLines(const std::string& table, const std::string& declared, const TableBuildProbe& probe,
                            const BuildCall* annotation, const GeneIndex* genes);

// The build a GWAS-SSF metadata file gives (its genome_assembly), read from
// TABLE-meta.yaml (or, for TABLE.gz, also TABLE-meta.yaml without .gz);
// empty when there is none. file receives the file's name.
std::string metadataBuild(const std::string& table, std::string& file);

// The human build lengths known to Quorlin: the length of the chromosome (any
// naming) in GRCh37 or GRCh38; 0 when unknown.
int64_t knownChromosomeLength(const std::string& build, std::string_view chrom);

// The fingerprint's positions of an rsID (the text "rsN", anything after a
// ':' ignored): false when it is not in the fingerprint.
bool fingerprintPositions(std::string_view id, uint32_t& grch37, uint32_t& grch38);
size_t fingerprintSize();
