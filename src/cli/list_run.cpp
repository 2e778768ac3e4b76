// Parallel list runs: workers take the next table; the main thread waits for
// the tables in list order, prints their messages and gives their outputs
// their names.
#include "list_run.h"

#include "output_files.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Gives a finished table's outputs their names, as a run one after the
// other would have left them.
void commit(const TableJob& job, const TableOutcome& o)
{
    const std::pair<const std::string*, bool> outputs[] = {
        {&job.reportPath, o.reportRemoved}, {&job.bedPath, o.bedRemoved}, {&job.plotPath, o.plotRemoved}};
    for (const auto& [path, removed] : outputs) {
        if (path->empty())
            continue;
        const std::string written = *path + job.writeSuffix;
        if (isRegularFile(written))
            std::rename(written.c_str(), path->c_str());
        else if (removed)
            removeRegularFile(*path);
    }
}

void discard(const TableJob& job)
{
    for (const std::string* path : {&job.reportPath, &job.bedPath, &job.plotPath})
        if (!path->empty())
            removeRegularFile(*path + job.writeSuffix);
}

// A table that is another table's output must wait for it: such a list runs
// one table after the other.
bool tablesIndependent(const std::vector<TableJob>& jobs)
{
    std::set<std::string> outputs;
    for (const TableJob& j : jobs) {
        for (const std::string* path : {&j.reportPath, &j.bedPath, &j.plotPath})
            if (!path->empty())
                outputs.insert(*path);
    }
    return std::none_of(jobs.begin(), jobs.end(), [&](const TableJob& j) { return outputs.count(j.table) > 0; });
}

bool runInOrder(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print)
{
    for (const TableJob& job : jobs)
        if (!print(runTable(options, job)))
            return false;
    return true;
}

class ParallelList {
public:
    ParallelList(const RunOptions& options, std::vector<TableJob> jobs)
        : options_(options), jobs_(std::move(jobs)), outcomes_(jobs_.size())
    {
        const std::string suffix = ".partial-" + std::to_string(getpid());
        for (TableJob& job : jobs_)
            job.writeSuffix = suffix;
    }

    bool run(int threads, const OutcomePrinter& print)
    {
        const size_t count = std::min(static_cast<size_t>(threads), jobs_.size());
        for (size_t k = 0; k < count; ++k)
            workers_.emplace_back([this] { work(); });
        bool ok = true;
        size_t i = 0;
        for (; i < jobs_.size() && ok; ++i) {
            const TableOutcome o = waitFor(i);
            commit(jobs_[i], o);
            ok = print(o);
        }
        stop();
        for (; i < jobs_.size(); ++i)
            discard(jobs_[i]);
        return ok;
    }

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
            TableOutcome o = runTable(options_, jobs_[i]);
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
        return std::move(*outcomes_[i]);
    }

    // No new table is started; the running ones end.
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        for (std::thread& t : workers_)
            t.join();
    }

    const RunOptions& options_;
    std::vector<TableJob> jobs_;
    std::vector<std::optional<TableOutcome>> outcomes_;
    std::mutex mutex_;
    std::condition_variable done_;
    size_t next_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

} // namespace

std::vector<TableJob> listJobs(const RunOptions& options, const std::vector<std::string>& tables)
{
    std::vector<TableJob> jobs;
    for (const std::string& table : tables)
        jobs.push_back({table, table + ".out", options.bed ? table + ".bed" : std::string(),
                        options.plot ? table + ".svg" : std::string(), std::string(), nullptr});
    return jobs;
}

bool runJobs(const RunOptions& options, const std::vector<TableJob>& jobs, const OutcomePrinter& print)
{
    if (options.threads <= 1 || jobs.size() <= 1 || !tablesIndependent(jobs))
        return runInOrder(options, jobs, print);
    RunOptions oneThreadEach = options; // the tables share the cores
    oneThreadEach.threads = 1;
    return ParallelList(oneThreadEach, jobs).run(options.threads, print);
}
