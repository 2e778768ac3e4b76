// Test helpers: the binary runs through posix_spawn with an argument list
// (QProcess's way of starting a child leaves ThreadSanitizer with a wrong
// picture of the test's own threads afterwards, so threaded code tested in
// the same process after a run showed races that are none); every folder
// makeTempDir() makes is removed when the test that made it ends, passed
// or failed.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <fcntl.h>
#include <spawn.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

extern char** environ;

const char* const kRunTail = "END TIME ...\n\nDONE in ...\n\n";
const char* const kHeaderLine = "filename\tchrom\trange\tmax\tbestslope0\tbestslope\tmonot\tmultip\treps\tratio\t"
                                "kolmo\trange\tcount\tspacing\tbalance\tskew\tvbal1\tvbal2\tmaxbyMean\tGQS\n";

namespace {

// Removes the folders registered during a test at its end.
class TempDirCleaner : public ::testing::EmptyTestEventListener {
public:
    void add(const std::string& dir)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        dirs_.push_back(dir);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& dir : dirs_) {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
        dirs_.clear();
    }

private:
    std::mutex mutex_;
    std::vector<std::string> dirs_;
};

// The cleaner, appended to GoogleTest's listeners (which own it) on first use.
TempDirCleaner& tempDirCleaner()
{
    static TempDirCleaner* const cleaner = [] {
        auto* c = new TempDirCleaner;
        ::testing::UnitTest::GetInstance()->listeners().Append(c);
        return c;
    }();
    return *cleaner;
}

std::string maskClock(const std::string& text)
{
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        for (const char* clock : {"START TIME", "END TIME"})
            if (line.rfind(std::string(clock) + ": ", 0) == 0)
                line = std::string(clock) + " ...";
        out += (line.rfind("DONE in ", 0) == 0 ? "DONE in ..." : line) + "\n";
    }
    if (!text.empty() && text.back() != '\n')
        out.pop_back();
    return out;
}
} // namespace

namespace {
// Reads both pipes to their ends, whichever has data, so the child never
// waits on a full pipe; false when the deadline passes first.
bool readBoth(int outFd, int errFd, std::string& out, std::string& err,
              std::chrono::steady_clock::time_point deadline)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* into[2] = {&out, &err};
    char buf[1 << 16];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        if (poll(fds, 2, 1000) < 0 && errno != EINTR)
            return false;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0)
                continue;
            const ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n > 0)
                into[k]->append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                fds[k].fd = -1; // its end
        }
    }
    return true;
}
} // namespace

RunResult runQuorlin(const std::vector<std::string>& args, const std::string& dir, const std::string& stdinFile)
{
    RunResult r;
    r.command = std::string("cd ") + dir + " && quorlin";
    std::vector<std::string> words = {QUORLIN_BIN};
    for (const auto& a : args) {
        words.push_back(a);
        r.command += " '" + a + "'";
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe for: " + r.command);
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]), close(outPipe[1]);
        throw std::runtime_error("no pipe for: " + r.command);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdinFile.empty() ? "/dev/null" : stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    std::string out, err;
    const bool read = failed == 0 && readBoth(outPipe[0], errPipe[0], out, err,
                                              std::chrono::steady_clock::now() + std::chrono::minutes(10));
    close(outPipe[0]);
    close(errPipe[0]);
    if (failed != 0)
        throw std::runtime_error("quorlin did not run: " + r.command);
    if (!read)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!read)
        throw std::runtime_error("quorlin did not finish: " + r.command);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = maskClock(out);
    r.err = err;
    return r;
}

std::string makeTempDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/quorlin-test-XXXXXX";
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    tempDirCleaner().add(templ);
    return templ;
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream f(path, std::ios::binary);
    f << content;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string realDataAbsence()
{
    const std::filesystem::path folder = QUORLIN_SHARED_FOLDER;
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return "";
    return "real data absent: no shared data folder " + folder.string() +
           " (it lies beside the repository; -DQUORLIN_SHARED_DIR names another)";
}

bool fileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void writeGzip(const std::string& path, const std::string& content, int members)
{
    writeFile(path, "");
    const size_t part = content.size() / static_cast<size_t>(members) + 1;
    for (size_t at = 0; at < content.size(); at += part) { // each opening for appending adds a member
        gzFile f = gzopen(path.c_str(), "ab6");
        gzwrite(f, content.data() + at, static_cast<unsigned>(std::min(part, content.size() - at)));
        gzclose(f);
    }
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

size_t countOf(const std::string& text, const std::string& what, size_t from, size_t to)
{
    size_t n = 0;
    for (size_t at = text.find(what, from); at != std::string::npos && at < to; at = text.find(what, at + 1))
        ++n;
    return n;
}

std::vector<std::string> tabFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        fields.push_back(field);
    return fields;
}

std::string firstDifference(const std::string& expected, const std::string& actual)
{
    if (expected == actual)
        return "";
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int line = 1;; ++line) {
        const bool he = static_cast<bool>(std::getline(e, le));
        const bool ha = static_cast<bool>(std::getline(a, la));
        if (!he && !ha)
            return "files differ only in the final line end";
        if (!he || !ha || le != la)
            return "first difference at line " + std::to_string(line) + "\n expected: " + (he ? le : "<end>") +
                   "\n   actual: " + (ha ? la : "<end>");
    }
}

std::string runHead(const std::vector<std::string>& args)
{
    std::string s = "\nQuorlin v. 0.1\nInfo: quorlin-dev@example.org\n\n";
    for (size_t i = 0; i < args.size(); ++i)
        s += std::to_string(i + 1) + "  " + args[i] + "\n";
    return s + "\nSTART TIME ...\n\n";
}

namespace fs = std::filesystem;

std::map<std::string, std::string> folderSnapshot(const std::string& dir)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string name = e.path().lexically_relative(dir).string();
        if (fs::is_symlink(e.symlink_status()))
            files[name] = "-> " + fs::read_symlink(e.path()).string();
        else
            files[name] = e.is_regular_file() ? readFile(e.path().string()) : std::string("<folder>");
    }
    return files;
}

std::string changedFiles(const std::map<std::string, std::string>& before,
                         const std::map<std::string, std::string>& after)
{
    std::string names;
    for (const auto& [name, text] : before)
        if (!after.count(name) || after.at(name) != text)
            names += name + (after.count(name) ? " (changed) " : " (gone) ");
    for (const auto& [name, text] : after)
        if (!before.count(name))
            names += name + " (new) ";
    return names;
}

void expectRefused(const std::vector<RefusedRun>& cases, const std::string& table)
{
    for (const RefusedRun& c : cases) {
        const std::string dir = makeTempDir();
        if (!table.empty())
            writeFile(dir + "/t.tsv", table);
        c.lay(dir);
        const auto before = folderSnapshot(dir);
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            if (a.rfind("ABS/", 0) == 0)
                a = dir + a.substr(3);
        const RunResult r = runQuorlin(args, dir);
        SCOPED_TRACE(std::string(c.name) + ": " + r.command);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(changedFiles(before, folderSnapshot(dir)), "") << r.err;
        fs::remove_all(dir);
    }
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string realFile(const std::string& name)
{
    const std::string path = std::string(QUORLIN_SHARED_FOLDER) + "/data/real/" + name;
    EXPECT_TRUE(fileExists(path)) << "real table missing: " << path;
    return path;
}

std::vector<std::string> withColumns(std::vector<std::string> words)
{
    return with(std::move(words), {"-lcolumn", "2", "-pcolumn", "3", "-chrcolumn", "1"});
}

std::vector<std::map<std::string, std::string>> tsvRecords(const std::string& text)
{
    const std::vector<std::string> lines = linesOf(text);
    std::vector<std::map<std::string, std::string>> records;
    for (size_t k = 1; k < lines.size(); ++k) {
        const std::vector<std::string> names = tabFields(lines[0]), fields = tabFields(lines[k]);
        records.emplace_back();
        for (size_t j = 0; j < names.size() && j < fields.size(); ++j)
            records.back()[names[j]] = fields[j];
    }
    return records;
}
