// The command-line options: collected from the words once, checked in a
// fixed order, and kept in one struct that the run reads as const.
#pragma once
#include "analysis_settings.h"
#include "table_reader.h"

#include <string>
#include <vector>

struct RunOptions {
    std::string table;      // -file
    std::string listFile;   // -list
    bool listMode = false;  // -list was given (it wins over -file)
    std::string reportPath; // -out, or the table's path + ".out"
    bool bed = false;       // -bed: write a BED file of the peaks
    std::string bedPath;    // single-table mode: -bed's file (the table's path + ".bed" for "yes")
    TableLayout layout;
    AnalysisSettings analysis;
};

// The outcome of reading the options: the options, and the lines for
// standard output in the order they arise; when ok is false the last line is
// the message of the first bad option, and errors may explain it further.
struct ParsedOptions {
    RunOptions options;
    std::string messages;
    std::string errors; // for standard error
    bool ok = false;
};

// Collects each known option word that has a following word, with that word
// (values count as words too: "-file -out x" collects "-file" "-out").
std::vector<std::string> collectOptionWords(int argc, char** argv);

// Reads the collected words; the first occurrence of an option wins.
ParsedOptions parseOptions(const std::vector<std::string>& words);
