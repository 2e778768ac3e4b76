// Single-table and list runs. Each table's messages are printed when the
// table is done; the first error stop ends the run. At a terminal, a long
// run shows how far it is on standard error.
#include "run.h"

#include "line_reader.h"
#include "list_run.h"
#include "options.h"
#include "progress_line.h"
#include "table_job.h"

#include <atomic>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True when out names the input file itself, by path or through a link.
bool sameFile(const std::string& in, const std::string& out)
{
    if (in == out)
        return true;
    struct stat a, b;
    return stat(in.c_str(), &a) == 0 && stat(out.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool say(const std::string& out, const std::string& err, bool ok)
{
    std::fputs(out.c_str(), stdout);
    std::fputs(err.c_str(), stderr);
    return ok;
}

bool showProgress() { return isatty(STDERR_FILENO) == 1; }

bool runOne(const RunOptions& options, const TableJob& job)
{
    std::atomic<uint64_t> bytesRead{0};
    const uint64_t size = fileSize(job.table);
    ProgressLine progress(showProgress(), [&] { return job.table + ": " + bytesProgress(bytesRead.load(), size); });
    TableJob counted = job;
    counted.bytesRead = &bytesRead;
    const TableOutcome o = runTable(options, counted);
    progress.print(o.out, o.err);
    return o.ok;
}

// The whole list is read before any table is analysed, so that a damaged
// list never names a table made of damaged bytes.
bool runList(const RunOptions& options)
{
    const std::string& path = options.listFile;
    auto source = openInput(path);
    if (!source)
        return say("List file not found\n", "quorlin: list file '" + path + "' not found\n", false);
    LineReader list(std::move(source));
    std::vector<std::string> tables;
    std::string_view line;
    while (!list.atEnd() && list.next(line))
        tables.emplace_back(line);
    if (list.failed())
        return say("List file could not be read\n",
                   "quorlin: list file '" + path + "' is damaged or cut off; no table of it was analysed\n", false);
    std::atomic<size_t> done{0};
    const std::string total = std::to_string(tables.size());
    ProgressLine progress(showProgress(), [&] { return std::to_string(done.load()) + " of " + total + " tables done"; });
    return runJobs(options, listJobs(options, tables), [&](const TableOutcome& o) {
        ++done;
        progress.print(o.out, o.err);
        return o.ok;
    });
}

// When the columns are missing and the first table looks like a known
// program's output, the line that suggests its -format.
std::string formatHint(const RunOptions& options)
{
    std::string table = options.table;
    if (options.listMode)
        table = readLineOf(options.listFile, 1).value_or("");
    const std::string suggestion = formatSuggestion(readLineOf(table, 1).value_or(""));
    return suggestion.empty() ? "" : "quorlin: " + suggestion + "\n";
}

} // namespace

bool runQuorlin(const std::vector<std::string>& words)
{
    const ParsedOptions parsed = parseOptions(words);
    const RunOptions& options = parsed.options;
    if (!parsed.ok)
        return say(parsed.messages, parsed.errors + (parsed.noColumnOptions ? formatHint(options) : ""), false);
    say(parsed.messages, parsed.errors, true);
    if (!options.listMode && sameFile(options.table, options.reportPath))
        return say("Output file is the input file\n",
                   "quorlin: the report '" + options.reportPath + "' would replace the input table\n", false);
    if (!options.listMode && options.bed && sameFile(options.table, options.bedPath))
        return say("Output file is the input file\n",
                   "quorlin: the BED file '" + options.bedPath + "' would replace the input table\n", false);
    if (!options.listMode && options.plot && sameFile(options.table, options.plotPath))
        return say("Output file is the input file\n",
                   "quorlin: the plot file '" + options.plotPath + "' would replace the input table\n", false);
    std::fflush(stdout);
    return options.listMode ? runList(options) : runOne(options, {options.table, options.reportPath, options.bedPath, options.plotPath, std::string(), nullptr});
}
