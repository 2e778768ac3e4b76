// The command-line options: collected from the words once, checked in a
// fixed order, and kept in one struct that the run reads as const.
#pragma once
#include "analysis/analysis_settings.h"
#include "genes/annotation_reader.h"
#include "io/column_plan.h"
#include "io/table_reader.h"

#include <string>
#include <vector>

// More workers than this only cost memory: each holds its own scan state.
constexpr int kMaxThreads = 64;

struct RunOptions {
    std::string table;      // -file
    std::string listFile;   // -list
    bool listMode = false;  // -list was given (it wins over -file)
    std::string reportPath; // -out, or the table's path + ".out"
    bool bed = false;       // -bed: write a BED file of the peaks
    std::string bedPath;    // single-table mode: -bed's file (the table's path + ".bed" for "yes")
    bool plot = false;      // -plot: draw the Manhattan and QQ figure
    std::string plotPath;   // single-table mode: -plot's file (the table's path + ".svg" for "yes")
    bool sortMarkers = false; // -sort yes: sort each chromosome's retained markers by position
    TableLayout layout;       // the columns as numbers, where no table's header is needed
    ColumnRequest columns;    // the column options as given, with the -format preset
    bool columnsByName = false; // some column comes from a header name: decided per table
    AnalysisSettings analysis;
    int threads = 1; // -threads: 1 is one thread; 0 in the words means every core
    bool loci = false;        // -loci: write the loci table
    std::string lociPath;     // single-table mode: -loci's file (the table's path + ".loci.tsv" for "yes")
    int64_t lociWindow = 500000; // -loci-window, in base pairs (the threshold is layout.lociThreshold)
    std::string ldPanel;      // -loci-ld: the LD reference panel; empty: loci by distance
    std::string ldSamples;    // -loci-ld-samples: the panel samples used; empty: all
    double lociR2 = 0.1;      // -loci-r2: members have r² above this
    double lociP2 = 0;        // -loci-p2: members have p below this (with -loci-ld: -loci-p when not given)
    bool lociMembers = false; // -loci-members: write the clump members
    std::string lociMembersPath; // single-table mode: -loci-members's file (TABLE.loci.members.tsv for "yes")
    std::string genesPath;    // -genes: a gene annotation; empty: none
    GeneTypeFilter geneTypes; // -gene-types
    std::string plotTitle;    // -plot-title; empty: the table's file name
    int plotWidth = 0, plotHeight = 0; // -plot-size in px; 0: the figure's default
    double plotYBreak = -1;   // -plot-ybreak: the value above which the y axis breaks; -1 auto, 0 never
    std::string plotFormat = "svg"; // -plot-format: list mode's -plot yes figures (and regional by default)
    std::string regionalDir;  // -regional: one figure per locus in this folder; empty: none
    std::string regionalFormat = "svg"; // -regional-format
    std::vector<std::string> regionalLdRefs; // -regional-ld-ref, each time given: r² references in their loci
    bool keepGoing = false;   // -keep-going yes: a failing table of a list does not stop the list
    std::string outdir;       // -outdir: outputs go into this folder instead of beside the table
    bool html = false;        // -html: a page per table (and an index page for a list)
    std::string htmlPath;     // single-table mode: -html's file
    std::string vcfStudy;     // -vcf-study: the GWAS-VCF study (sample column); empty: the first
    std::string build;        // -build: the tables' genome build as declared; empty: inferred
    std::vector<std::string> commandLine; // the run's words, program name first, for pages
};

// The outcome of reading the options: the options, and the lines for
// standard output in the order they arise; when ok is false the last line is
// the message of the first bad option, and errors say why.
struct ParsedOptions {
    RunOptions options;
    std::string messages;
    std::string errors; // for standard error: reasons and warnings
    bool ok = false;
    bool noColumnOptions = false; // none of -lcolumn, -pcolumn, -chrcolumn, -format was given
};

// Whether the run draws PNG or PDF figures, which need fonts and a
// QGuiApplication: a -plot file of either kind (single-table mode), or
// regional figures in either format.
bool rendersRasterFigures(const RunOptions& options);

// Collects each known option word that has a following word, with that word
// (values count as words too: "-file -out x" collects "-file" "-out").
std::vector<std::string> collectOptionWords(int argc, char** argv);

// Every option word Quorlin knows, in the order of its option table.
std::vector<std::string> knownOptionWords();

// Words that look like options but are none Quorlin knows (values of known
// options aside): each gets a warning, and the run goes on.
std::vector<std::string> unknownOptionWords(int argc, char** argv);

// Where a table's default outputs go, before their extensions: the table's
// path, or with -outdir the folder and the table's file name.
std::string outputBaseOf(const std::string& table, const std::string& outdir);

// Reads the collected words; the first occurrence of an option wins.
ParsedOptions parseOptions(const std::vector<std::string>& words);
