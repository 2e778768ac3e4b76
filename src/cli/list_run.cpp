// List runs: one table after the other, or workers that take the next
// table while the main thread waits for the tables in list order, gives
// their outputs their names and prints their messages.
#include "list_run.h"

#include "address_space.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

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

class ParallelList {
public:
    ParallelList(const RunOptions& options, const std::vector<TableJob>& jobs)
        : options_(options), jobs_(jobs), outcomes_(jobs_.size())
    {
    }

    // False when not one worker could be started.
    bool start(int threads)
    {
        const size_t count = std::min(static_cast<size_t>(threads), jobs_.size());
        for (size_t k = 0; k < count; ++k) {
            try {
                workers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break; // the workers that did start take every table
            }
        }
        return !workers_.empty();
    }

    // Unfinished tables' temporary files go with their outcomes.
    bool run(const OutcomePrinter& print)
    {
        bool ok = true;
        for (size_t i = 0; i < jobs_.size() && ok; ++i) {
            TableOutcome o = waitFor(i);
            publish(o);
            ok = print(o);
        }
        stop();
        for (std::optional<TableOutcome>& left : outcomes_)
            if (left)
                drop(*left);
        return ok;
    }

    ~ParallelList() { stop(); }

private:
    void work()
    {
        for (;;) {
            size_t i;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (stopping_ || next_ == jobs_.size())
                    return;
                i = next_++;
            }
            TableOutcome o = runTableGuarded(options_, jobs_[i]);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                outcomes_[i] = std::move(o);
            }
            done_.notify_all();
        }
    }

    TableOutcome waitFor(size_t i)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return outcomes_[i].has_value(); });
        TableOutcome o = std::move(*outcomes_[i]);
        outcomes_[i].reset();
        return o;
    }

    // No new table is started; the running ones end.
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        for (std::thread& t : workers_)
            if (t.joinable())
                t.join();
    }

    const RunOptions& options_;
    const std::vector<TableJob>& jobs_;
    std::vector<std::optional<TableOutcome>> outcomes_;
    std::mutex mutex_;
    std::condition_variable done_;
    size_t next_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

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
        job.outputs.plot = options.plot ? base + ".svg" : "";
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
    RunOptions oneThreadEach = options; // the tables share the cores
    oneThreadEach.threads = 1;
    ParallelList list(oneThreadEach, jobs);
    if (!list.start(options.threads))
        return runInOrder(oneThreadEach, jobs, print);
    return list.run(print);
}
