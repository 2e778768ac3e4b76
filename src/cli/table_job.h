// One table from start to end: its rows, the analysis of every chromosome,
// its report, BED file, figures, loci, page, and the messages it gives.
#pragma once
#include "cli/options.h"
#include "cli/table_outcome.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class GeneIndex;
struct BuildCall;
class PathPlan;
struct LdPanel;

// Where a table's results go, by name; an empty path: not wanted.
struct TableOutputs {
    std::string report;
    std::string bed;
    std::string plot;
    std::string loci;
    std::string members; // the LD clumps' members
    std::string page;
    std::string regionalFolder; // one figure per locus, named after the locus

    // Each output file, with what it is called in messages.
    std::vector<std::pair<const char*, const std::string*>> files() const;
};

// What every table of a run shares.
struct RunShared {
    TemporaryFiles* temps = nullptr;  // where the outputs' temporary files are registered
    PathPlan* paths = nullptr;        // the run's checked paths, for files named during the run
    const GeneIndex* genes = nullptr; // the annotation, when -genes was given
    const BuildCall* genesBuild = nullptr; // the annotation's genome build, when -genes was given
    const LdPanel* ldPanel = nullptr; // the LD panel, when -loci-ld was given
};

// Where one table is read from and its results go.
struct TableJob {
    std::string table;
    TableOutputs outputs;
    size_t index = 0;                           // the job's place in the run's path plan
    RunShared shared;
    std::atomic<uint64_t>* bytesRead = nullptr; // counts the table's bytes as they are read
};

// The job of a single-table run.
TableJob singleTableJob(const RunOptions& options, const RunShared& shared);

// Analyses the table. Nothing is created before the table is open and its
// outputs' temporary files exist; the outputs wait in the outcome until
// publish() gives them their names. An error stop comes back as ok == false
// with its message in out and its reason in err; after a damaged input the
// report with the rows found before the damage is kept, the other outputs
// are not.
void runTable(const RunOptions& options, const TableJob& job, TableOutcome& o);
