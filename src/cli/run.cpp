// Single-table and list runs. Each table's messages are printed when the
// table is done; the first error stop ends the run.
#include "run.h"

#include "line_reader.h"
#include "options.h"
#include "table_job.h"

#include <cstdio>
#include <sys/stat.h>

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

bool runOne(const RunOptions& options, const TableJob& job)
{
    const TableOutcome o = runTable(options, job);
    return say(o.out, o.err, o.ok);
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
    for (const std::string& table : tables)
        if (!runOne(options, {table, table + ".out", options.bed ? table + ".bed" : std::string()}))
            return false;
    return true;
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
    std::fflush(stdout);
    return options.listMode ? runList(options) : runOne(options, {options.table, options.reportPath, options.bedPath});
}
