// Running the tables of a list: one after the other, or up to -threads at
// once with the same files, messages and exit status as one after the other.
#pragma once
#include "cli/options.h"
#include "cli/table_job.h"

#include <functional>
#include <string>
#include <vector>

// Prints a table's messages; returns whether the run may go on.
using OutcomePrinter = std::function<bool(const TableOutcome&)>;

// The jobs of the tables, in list order. Outputs go beside each table as
// TABLE.out and so on; with -outdir into that folder under the table's file
// name, and where two tables of the list share a file name, that name and
// "-" and eight hex digits of a hash of the table's path as the list gives
// it (FNV-1a, 32 bits), so names stay apart and the same from run to run.
std::vector<TableJob> listJobs(const RunOptions& options, const std::vector<std::string>& tables,
                               const RunShared& shared);

// runTable, with running out of memory or threads turned into an error stop:
// "Not enough memory" on standard output and the reason on standard error.
TableOutcome runTableGuarded(const RunOptions& options, const TableJob& job);

// Runs the jobs in order and stops at the first error stop. With more than
// one thread the tables run at once; their outputs take their names in list
// order, so that a stop leaves exactly the files a run one after the other
// leaves.
bool runJobs(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print);
