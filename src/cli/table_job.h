// One table from start to end: its report file, its rows, the analysis of
// every chromosome, and the messages it gives.
#pragma once
#include "options.h"

#include <string>

// What one table left for the user: standard-output and standard-error
// text in the order it arose, and whether the run may go on.
struct TableOutcome {
    bool ok = true;
    std::string out, err;
};

// Analyses table and writes its report to reportPath. An error stop comes
// back as ok == false with its message in out (or its reason in err); the
// rows found before it are in the report file.
TableOutcome runTable(const RunOptions& options, const std::string& table, const std::string& reportPath);
