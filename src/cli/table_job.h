// One table from start to end: its report file, its rows, the analysis of
// every chromosome, its BED file and the messages it gives.
#pragma once
#include "options.h"

#include <atomic>
#include <cstdint>
#include <string>

// Where one table is read from and its results go.
struct TableJob {
    std::string table;
    std::string reportPath;
    std::string bedPath;     // empty: no BED file
    std::string plotPath;    // empty: no figure
    std::string writeSuffix; // outputs are written to their path + this, and named without it
    std::atomic<uint64_t>* bytesRead = nullptr; // counts the table's bytes as they are read
};

// What one table left for the user: standard-output and standard-error
// text in the order it arose, and whether the run may go on.
struct TableOutcome {
    bool ok = true;
    std::string out, err;
    bool reportRemoved = false, bedRemoved = false, plotRemoved = false; // created, then removed again
};

// Adds "quorlin: warning: TABLE: what" to the outcome's standard error.
void warn(TableOutcome& o, const std::string& table, const std::string& what);

// Analyses the table and writes its report (and BED file). An error stop
// comes back as ok == false with its message in out (or its reason in err);
// the rows found before it are in the report file, and no BED file is left.
TableOutcome runTable(const RunOptions& options, const TableJob& job);
