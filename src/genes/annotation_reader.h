// Reading a gene annotation (GTF, GFF3 or BED; plain or gzip) into a
// GeneIndex. The format is told by the content: a "##gff-version 3" line
// before the records means GFF3; otherwise the first record decides: numbers
// in columns 2 and 3 mean BED, nine tab-separated columns with numbers in
// columns 4 and 5 mean GTF (GFF3 when its attributes are written key=value).
// A BED gene's type is its 7th column, when that column is not a number.
// Each gene keeps its strand ('+' or '-': GTF and GFF3 column 7, BED column
// 6) and, in a GTF, the exons of the exon records that follow it with its
// gene_id, merged over its transcripts, for the regional figures.
#pragma once
#include "genes/gene_index.h"
#include "genes/genome_build.h"

#include <string>
#include <vector>

// Which gene types count (-gene-types). Genes without a type always count.
struct GeneTypeFilter {
    bool all = false;
    std::vector<std::string> types{"protein_coding"};

    bool counts(std::string_view type) const;
};

// Parses a -gene-types value: "all", or type names separated by commas
// (blanks around a name are dropped). False, with the reason in error, when
// no type name is given.
bool parseGeneTypes(const std::string& text, GeneTypeFilter& filter, std::string& error);

enum class AnnotationFormat { Gtf, Gff3, Bed };
const char* formatName(AnnotationFormat format);

struct GeneAnnotation {
    bool ok = false;
    std::string error; // the reason, when !ok
    AnnotationFormat format = AnnotationFormat::Gtf;
    GeneIndex index;          // the counting genes
    size_t geneRecords = 0;   // gene records read, counting or not
    size_t typedRecords = 0;  // gene records that name their type (BED: a 7th column of types)
    AnnotationBuildNotes buildNotes; // what the header lines and gene ends tell of the build
    BuildCall build;                 // the build they give, set once the file is read

    // True when -gene-types can choose nothing: no gene record names a type.
    bool untyped() const { return typedRecords == 0; }
};

// Reads the annotation at path; keeps only the genes that the filter counts,
// and their exons when exons is set (a GTF's exon records cost as much time
// again as its gene records).
// Fails when the file cannot be read to its end, when its format is not
// recognised or a gene record is malformed (the line number is given), when it
// holds no gene record, and when none of its genes has a counting type.
GeneAnnotation readGeneAnnotation(const std::string& path, const GeneTypeFilter& filter, bool exons = false);

// The warning line, once per run, for an annotation whose gene records name
// no type while -gene-types chooses some: every gene counts. Empty otherwise.
std::string geneTypeWarning(const GeneAnnotation& annotation, const std::string& path, const GeneTypeFilter& filter);
