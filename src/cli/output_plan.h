// One place decides every path of a run before anything is written: the
// inputs (the tables and the list file) and every output of every table are
// compared by device and inode where they exist, by their resolved path
// where they do not. No output may be an input, and no two outputs may be
// one file, unless they belong to the same table named twice in a list.
#pragma once
#include "table_job.h"

#include <string>
#include <vector>

// Why the run must not start: the line for standard output and the reason
// for standard error. Empty when every path is fine.
struct PathConflict {
    std::string message, reason;
    bool empty() const { return message.empty(); }
};

// Checks the outputs of jobs, and the list's own outputs (its study-wide
// tables), against each other and against the inputs (every job's table,
// listFile unless it is empty, and the LD panel's files).
PathConflict checkOutputPaths(const std::vector<TableJob>& jobs, const std::string& listFile,
                              const std::vector<std::string>& listOutputs = {},
                              const std::vector<std::string>& panelFiles = {});
