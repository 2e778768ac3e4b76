// Helpers shared by the tests: temporary folders, file contents, gzip
// writing, and running the built binary with an argument list.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

// The shared data folder (real published tables, annotations, reference
// reports) lies beside the repository and is optional. A test that reads it
// starts with QUORLIN_NEEDS_REAL_DATA(): without the folder the test is
// skipped with one message naming it; with the folder, a file missing from
// it fails the test. realDataAbsence() is that message, "" when the folder
// is there.
std::string realDataAbsence();
#define QUORLIN_NEEDS_REAL_DATA() \
    do { \
        const std::string quorlinAbsence_ = realDataAbsence(); \
        if (!quorlinAbsence_.empty()) \
            GTEST_SKIP() << quorlinAbsence_; \
    } while (0)

// The path of a file of the real tables' folder (data/real of the shared
// folder); a missing file fails the test.
std::string realFile(const std::string& name);

struct RunResult {
    int status = -1;
    std::string out; // standard output with the clock lines masked
    std::string err;
    std::string command; // for failure messages
};

// Runs the quorlin binary in dir with args (no shell involved); its
// standard input is stdinFile when given.
RunResult runQuorlin(const std::vector<std::string>& args, const std::string& dir,
                     const std::string& stdinFile = "");

// A fresh empty folder below the system's temporary folder, removed with
// its contents when the current test ends.
std::string makeTempDir();
void writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
// Writes content as gzip; with members > 1 it is split into that many
// concatenated gzip members (as bgzip does); empty content, an empty file.
void writeGzip(const std::string& path, const std::string& content, int members = 1);

// The words of a followed by those of b, for argument lists.
std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b);
// words followed by the column words of the small tables of the cli tests
// (chromosome, position, p).
std::vector<std::string> withColumns(std::vector<std::string> words);

// The lines of text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

// How many times what occurs in text, counting from from and only matches
// that start before to.
size_t countOf(const std::string& text, const std::string& what, size_t from = 0, size_t to = std::string::npos);

// The tab-separated fields of one line.
std::vector<std::string> tabFields(const std::string& line);
// The lines after the header of a tab-separated text, each by column name.
std::vector<std::map<std::string, std::string>> tsvRecords(const std::string& text);

// "" when equal, else a message naming the first differing line.
std::string firstDifference(const std::string& expected, const std::string& actual);

// The banner, echo and start line that every run prints first.
std::string runHead(const std::vector<std::string>& args);
// The end lines of a complete run, masked.
extern const char* const kRunTail;
extern const char* const kHeaderLine;

// Every file below dir by its relative name with its content; a symbolic
// link as "-> target", a folder as "<folder>".
std::map<std::string, std::string> folderSnapshot(const std::string& dir);
// The names of the files that differ between two snapshots, "" when none.
std::string changedFiles(const std::map<std::string, std::string>& before,
                         const std::map<std::string, std::string>& after);

// A run that must stop before touching anything: lay sets up its folder
// (after t.tsv is written with the table given to expectRefused, if any).
// An argument starting "ABS/" names the folder by its absolute path.
struct RefusedRun {
    const char* name;
    std::function<void(const std::string& dir)> lay;
    std::vector<std::string> args;
    const char* message; // on standard output
    const char* reason = "quorlin: "; // on standard error
};
// Runs each case in a fresh folder: exit status 1, its message and reason,
// and every file as it was.
void expectRefused(const std::vector<RefusedRun>& cases, const std::string& table = "");
