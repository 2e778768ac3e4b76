// Path identities. An existing file is known by device and inode (so a hard
// or symbolic link to an input is caught); a file still to be written by the
// real folder it lands in and its name (so "./r.tsv", "r.tsv" and an
// absolute spelling are one file).
#include "output_plan.h"

#include "output_file.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

struct Identity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string path; // the real folder and the name, when the file does not exist

    bool operator==(const Identity& o) const
    {
        return exists == o.exists && (exists ? device == o.device && inode == o.inode : path == o.path);
    }
};

Identity identityOf(const std::string& path)
{
    Identity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.device = st.st_dev;
        id.inode = st.st_ino;
        return id;
    }
    const std::string resolved = resolvedOutputPath(path);
    const size_t slash = resolved.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : resolved.substr(0, slash);
    const std::string name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
    char real[PATH_MAX];
    id.path = (realpath(folder.c_str(), real) ? std::string(real) : folder) + "/" + name;
    return id;
}

struct Output {
    const char* what; // "report", "BED file", "plot file"
    const std::string* path;
    size_t job;
    Identity id;
};

std::string quoted(const std::string& path) { return "'" + path + "'"; }

// The option message of an output that collides with another output.
std::string collisionMessage(const Output& a, const Output& b)
{
    for (const Output* o : {&b, &a}) {
        if (std::string(o->what) == "BED file")
            return "Incorrect bed\n";
        if (std::string(o->what) == "plot file")
            return "Incorrect plot\n";
    }
    return "Output file could not be written\n";
}

} // namespace

PathConflict checkOutputPaths(const std::vector<TableJob>& jobs, const std::string& listFile,
                              const std::vector<std::string>& listOutputs, const std::vector<std::string>& panelFiles)
{
    struct Input {
        const char* what;
        const std::string* path;
        Identity id;
    };
    std::vector<Input> inputs;
    if (!listFile.empty())
        inputs.push_back({"list file", &listFile, identityOf(listFile)});
    std::vector<Identity> tables;
    for (const TableJob& job : jobs) {
        tables.push_back(identityOf(job.table));
        inputs.push_back({"input table", &job.table, tables.back()});
    }
    for (const std::string& path : panelFiles)
        inputs.push_back({"LD panel file", &path, identityOf(path)});
    std::vector<Output> outputs;
    std::vector<std::vector<std::pair<const char*, const std::string*>>> wanted;
    for (const TableJob& job : jobs)
        wanted.push_back(job.outputs());
    wanted.emplace_back(); // the list's own outputs, as a job of their own
    tables.push_back(Identity{false, 0, 0, "\n"}); // a table no path names
    for (const std::string& path : listOutputs)
        wanted.back().emplace_back("study table", &path);
    for (size_t j = 0; j < wanted.size(); ++j) {
        for (const auto& [what, path] : wanted[j]) {
            Output o{what, path, j, identityOf(*path)};
            for (const Input& input : inputs)
                if (input.id == o.id || *input.path == *path)
                    return {"Output file is the input file\n", "the " + std::string(what) + " " + quoted(*path) +
                                                                   " would replace the " + input.what + " " +
                                                                   quoted(*input.path)};
            for (const Output& earlier : outputs) {
                const bool sameTable = earlier.job == j ? false : tables[earlier.job] == tables[j];
                if (!(earlier.id == o.id) || (sameTable && std::string(earlier.what) == what))
                    continue;
                return {collisionMessage(earlier, o), "the " + std::string(what) + " " + quoted(*path) +
                                                          " and the " + earlier.what + " " + quoted(*earlier.path) +
                                                          " are the same file"};
            }
            outputs.push_back(std::move(o));
        }
    }
    return {};
}
