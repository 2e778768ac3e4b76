// The run's path plan: every input and output as a file identity, checked
// pairwise before anything is written, and the late claims of regional
// figures checked against the same list.
#include "cli/output_plan.h"

#include "cli/table_job.h"

namespace {

// The option message of an output that collides with another output.
std::string collisionMessage(const std::string& a, const std::string& b)
{
    for (const std::string* what : {&b, &a}) {
        if (*what == "BED file")
            return "Incorrect bed\n";
        if (*what == "plot file")
            return "Incorrect plot\n";
    }
    return "Output file could not be written\n";
}

} // namespace

PathConflict PathPlan::place(Output o, bool late)
{
    for (const Input& input : inputs_)
        if (input.id.sameFile(o.id) || input.path == o.path)
            return {"Output file is the input file\n",
                    "the " + o.what + " " + quoted(o.path) + " would replace the " + input.what + " " + quoted(input.path)};
    for (const Output& earlier : outputs_) {
        const bool sameTable = earlier.job != o.job && tables_[earlier.job].sameFile(tables_[o.job]);
        if (!earlier.id.sameFile(o.id) || (sameTable && earlier.what == o.what))
            continue;
        return {late ? std::string("Output file could not be written\n") : collisionMessage(earlier.what, o.what),
                "the " + o.what + " " + quoted(o.path) + " and the " + earlier.what + " " + quoted(earlier.path) +
                    " are the same file"};
    }
    outputs_.push_back(std::move(o));
    return {};
}

PathConflict PathPlan::check(const std::vector<TableJob>& jobs, const std::vector<NamedInput>& inputs,
                             const std::vector<std::string>& listOutputs)
{
    std::lock_guard<std::mutex> lock(mutex_);
    inputs_.clear();
    tables_.clear();
    outputs_.clear();
    for (const NamedInput& input : inputs)
        if (!input.path.empty())
            inputs_.push_back({input.what, input.path, identityOf(input.path)});
    for (const TableJob& job : jobs) {
        tables_.push_back(identityOf(job.table));
        inputs_.push_back({"input table", job.table, tables_.back()});
    }
    tables_.push_back(FileIdentity{false, false, 0, 0, "\n"}); // the list's own outputs: a table no path names
    for (size_t j = 0; j < jobs.size(); ++j)
        for (const auto& [what, path] : jobs[j].outputs.files())
            if (PathConflict c = place({what, *path, j, identityOf(*path)}, false); !c.empty())
                return c;
    for (const std::string& path : listOutputs)
        if (PathConflict c = place({"study table", path, jobs.size(), identityOf(path)}, false); !c.empty())
            return c;
    return {};
}

PathConflict PathPlan::claim(const std::string& path, const char* what, size_t job)
{
    FileIdentity id = identityOf(path); // outside the lock: it asks the file system
    std::lock_guard<std::mutex> lock(mutex_);
    return place({what, path, job, std::move(id)}, true);
}
