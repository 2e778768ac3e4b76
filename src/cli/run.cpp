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

bool runList(const RunOptions& options)
{
    auto source = openInput(options.listFile);
    if (!source)
        return say("List file not found\n", "", false);
    LineReader list(std::move(source));
    std::string_view line;
    while (!list.atEnd() && list.next(line)) {
        const std::string table(line);
        if (!runOne(options, {table, table + ".out", options.bed ? table + ".bed" : std::string()}))
            return false;
    }
    if (list.failed())
        return say("List file could not be read\n", "", false);
    return true;
}

} // namespace

bool runQuorlin(const std::vector<std::string>& words)
{
    const ParsedOptions parsed = parseOptions(words);
    if (!say(parsed.messages, parsed.errors, parsed.ok))
        return false;
    const RunOptions& options = parsed.options;
    if (!options.listMode && sameFile(options.table, options.reportPath))
        return say("Output file is the input file\n", "", false);
    if (!options.listMode && options.bed && sameFile(options.table, options.bedPath))
        return say("Output file is the input file\n", "quorlin: the BED file would replace the input table\n", false);
    std::fflush(stdout);
    return options.listMode ? runList(options) : runOne(options, {options.table, options.reportPath, options.bedPath});
}
