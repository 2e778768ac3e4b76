// One place decides every path of a run before anything is written: the
// inputs (the tables, the list file, the gene annotation, the LD panel) and
// every output of every table are compared as files (see FileIdentity). No
// output may be an input, and no two outputs may be one file, unless they
// belong to the same table named twice in a list. Files named only during
// the run (regional figures, named after their loci) are claimed against the
// same plan before they are started.
#pragma once
#include "io/file_paths.h"

#include <mutex>
#include <string>
#include <vector>

struct TableJob;

// Why the run must not start, or a file must not be written: the line for
// standard output and the reason for standard error. Empty when every path
// is fine.
struct PathConflict {
    std::string message, reason;
    bool empty() const { return message.empty(); }
};

// An input of the run besides its tables, named as messages name it.
struct NamedInput {
    const char* what; // "list file", "gene annotation", "LD panel file"
    std::string path;
};

class PathPlan {
public:
    // Checks the outputs of jobs, and the list's own outputs (its study-wide
    // tables), against each other and against the inputs (every job's table
    // and the others).
    PathConflict check(const std::vector<TableJob>& jobs, const std::vector<NamedInput>& inputs,
                       const std::vector<std::string>& listOutputs = {});

    // A file of job (an index into the checked jobs) whose name is known
    // only now: a conflict when it is an input, another output of the run,
    // or a file claimed before. Safe to call from several threads.
    PathConflict claim(const std::string& path, const char* what, size_t job);

private:
    struct Input {
        std::string what, path;
        FileIdentity id;
    };
    struct Output {
        std::string what, path;
        size_t job;
        FileIdentity id;
    };
    PathConflict place(Output o, bool late);

    std::mutex mutex_;
    std::vector<Input> inputs_;
    std::vector<FileIdentity> tables_; // per job, and one for the list's own outputs
    std::vector<Output> outputs_;
};
