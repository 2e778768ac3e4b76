// One table from start to end: its report file, its rows, the analysis of
// every chromosome, its BED file and the messages it gives.
#pragma once
#include "options.h"

#include <string>

// Where one table is read from and its results go.
struct TableJob {
    std::string table;
    std::string reportPath;
    std::string bedPath; // empty: no BED file
};

// What one table left for the user: standard-output and standard-error
// text in the order it arose, and whether the run may go on.
struct TableOutcome {
    bool ok = true;
    std::string out, err;
};

// Analyses the table and writes its report (and BED file). An error stop
// comes back as ok == false with its message in out (or its reason in err);
// the rows found before it are in the report file, and no BED file is left.
TableOutcome runTable(const RunOptions& options, const TableJob& job);
