// One table from start to end: its rows, the analysis of every chromosome,
// its report, BED file and figure, and the messages it gives.
#pragma once
#include "options.h"
#include "output_file.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class GeneIndex;
struct LdPanel;

// What a table's run found, for pages and the study-wide tables.
struct TableFacts {
    long long rows = 0, used = 0, retained = 0, chromosomes = 0;
    size_t loci = 0, lociWithPeak = 0, peaks = 0;
    std::string strongestLocus;  // the strongest locus's lead id (or chrom:position), or ""
    std::string strongestLog10p; // its -log10(p) as the loci file writes it
    std::string lambda;         // the figure's genomic inflation, when drawn
};

// Where one table is read from and its results go.
struct TableJob {
    std::string table;
    std::string reportPath;
    std::string bedPath;  // empty: no BED file
    std::string plotPath; // empty: no figure
    TemporaryFiles* temps = nullptr;            // where the outputs' temporary files are registered
    std::atomic<uint64_t>* bytesRead = nullptr; // counts the table's bytes as they are read
    std::string lociPath;    // empty: no loci file
    std::string htmlPath;    // empty: no page
    std::string regionalDir; // empty: no regional figures
    const GeneIndex* genes = nullptr; // the annotation, when -genes was given
    const LdPanel* ldPanel = nullptr; // the LD panel, when -loci-ld was given
    std::string lociMembersPath;      // empty: no members file

    // Each output this job writes, with what it is called in messages.
    std::vector<std::pair<const char*, const std::string*>> outputs() const;
};

// What one table left for the user: standard-output and standard-error
// text in the order it arose, whether the run may go on, and the finished
// outputs waiting to take their names.
struct TableOutcome {
    bool ok = true;
    std::string out, err;
    std::vector<OutputFile> finished;
    // For the list's study-wide loci table and index page.
    std::string lociText;       // the loci file's text (when loci are wanted)
    TableFacts facts;
};

// Adds "quorlin: warning: TABLE: what" to the outcome's standard error.
void warn(TableOutcome& o, const std::string& table, const std::string& what);

// Analyses the table. Nothing is created before the table is open and its
// outputs' temporary files exist; the outputs wait in the outcome until
// publish() gives them their names. An error stop comes back as ok == false
// with its message in out and its reason in err; after a damaged input the
// report with the rows found before the damage is among the finished
// outputs, the other outputs are not.
TableOutcome runTable(const RunOptions& options, const TableJob& job);

// Renames the finished outputs into place; a failure turns the outcome into
// an error stop.
void publish(TableOutcome& o);
