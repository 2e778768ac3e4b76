// List runs: one table after the other, or workers that take the next
// table while the main thread waits for the tables in list order, gives
// their outputs their names and prints their messages.
#include "cli/list_run.h"

#include "plot/address_space.h"
#include "base/ordered_work.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <system_error>

namespace {

bool runInOrder(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print)
{
    for (const TableJob& job : jobs) {
        TableOutcome o = runTableGuarded(options, job);
        publish(o);
        if (!print(o))
            return false;
    }
    return true;
}

// The tables on the workers, several at once; their outcomes are taken,
// named and printed in list order. When printing stops the run, the tables
// not started are left out and the running ones end; the temporary files of
// every outcome not printed go with it.
bool runParallel(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print)
{
    RunOptions oneThreadEach = options; // the tables share the cores
    oneThreadEach.threads = 1;
    const int workers = static_cast<int>(std::min(static_cast<size_t>(options.threads), jobs.size()));
    OrderedWork<size_t, TableOutcome> tables(
        workers, [&](size_t& i, int) { return runTableGuarded(oneThreadEach, jobs[i]); });
    if (tables.workers() == 0)
        return runInOrder(oneThreadEach, jobs, print);
    for (size_t i = 0; i < jobs.size(); ++i)
        tables.push(i);
    bool ok = true;
    TableOutcome o;
    while (ok && tables.take(o, true)) {
        publish(o);
        ok = print(o);
    }
    tables.cancel();
    while (tables.take(o, false))
        drop(o);
    return ok;
}

} // namespace

TableOutcome runTableGuarded(const RunOptions& options, const TableJob& job)
{
    TableOutcome o;
    try {
        runTable(options, job, o);
    } catch (const std::bad_alloc& e) {
        o = TableOutcome();
        o.ok = false;
        o.out = "Not enough memory\n";
        const bool reasoned = dynamic_cast<const MemoryShortage*>(&e) != nullptr;
        o.err = "quorlin: " + job.table + ": " + (reasoned ? e.what() : "not enough memory to analyse this table") +
                "\n";
    } catch (const std::system_error& e) {
        o = TableOutcome();
        o.ok = false;
        o.out = "Not enough memory\n";
        o.err = "quorlin: " + job.table + ": cannot start a thread: " + e.what() + "\n";
    }
    return o;
}

std::string pathTag(const std::string& path)
{
    uint32_t hash = 2166136261u; // FNV-1a
    for (unsigned char c : path)
        hash = (hash ^ c) * 16777619u;
    char tag[9];
    std::snprintf(tag, sizeof tag, "%08x", hash);
    return tag;
}

std::vector<TableJob> listJobs(const RunOptions& options, const std::vector<std::string>& tables,
                               const RunShared& shared)
{
    std::map<std::string, std::set<std::string>> pathsByName; // file name -> the paths that have it
    for (const std::string& table : tables)
        pathsByName[fileNameOf(table)].insert(table);
    std::vector<TableJob> jobs;
    for (const std::string& table : tables) {
        std::string base = outputBaseOf(table, options.outdir);
        if (!options.outdir.empty() && pathsByName[fileNameOf(table)].size() > 1)
            base += "-" + pathTag(table);
        TableJob job;
        job.table = table;
        job.outputs.report = base + ".out";
        job.outputs.bed = options.bed ? base + ".bed" : "";
        job.outputs.plot = options.plot ? base + "." + options.plotFormat : "";
        job.outputs.loci = options.loci ? base + ".loci.tsv" : "";
        job.outputs.members = options.lociMembers ? base + ".loci.members.tsv" : "";
        job.outputs.page = options.html ? base + ".html" : "";
        job.outputs.regionalFolder = options.regionalDir.empty() ? "" : base + ".regional";
        job.index = jobs.size();
        job.shared = shared;
        jobs.push_back(std::move(job));
    }
    return jobs;
}

bool runJobs(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print)
{
    if (options.threads <= 1 || jobs.size() <= 1)
        return runInOrder(options, jobs, print);
    return runParallel(options, jobs, print);
}
