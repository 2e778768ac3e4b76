// Test helpers: the binary runs through fork and exec with an argument list;
// every folder makeTempDir() makes is removed when the test that made it
// ends, passed or failed.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

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

// An unnamed-to-the-run temporary file for one of its output streams.
int streamFile(std::string& path)
{
    const char* base = std::getenv("TMPDIR");
    path = std::string(base && *base ? base : "/tmp") + "/quorlin-run-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("mkstemp failed");
    return fd;
}

std::string takeFile(const std::string& path)
{
    std::string text = readFile(path);
    std::remove(path.c_str());
    return text;
}

} // namespace

// fork and exec rather than QProcess: Qt starts its child on the parent's
// memory until the exec (vfork-like), and ThreadSanitizer's interceptors
// running in that child corrupt the parent's records of its threads and
// mutexes, so that a later in-process read of a table reported a race on
// the row queue that is none.
RunResult runQuorlin(const std::vector<std::string>& args, const std::string& dir, const std::string& stdinFile)
{
    RunResult r;
    r.command = std::string("cd ") + dir + " && quorlin";
    std::vector<std::string> words = {QUORLIN_BIN};
    for (const auto& a : args) {
        words.push_back(a);
        r.command += " '" + a + "'";
    }
    if (access(words[0].c_str(), X_OK) != 0)
        throw std::runtime_error("quorlin did not run (no binary): " + r.command);
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string input = stdinFile.empty() ? "/dev/null" : stdinFile;
    std::string outPath, errPath;
    const int out = streamFile(outPath), err = streamFile(errPath);
    const pid_t pid = fork();
    if (pid == 0) { // the child: async-signal-safe calls only, until exec
        const int in = open(input.c_str(), O_RDONLY);
        if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out);
    close(err);
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.out = maskClock(takeFile(outPath));
    r.err = takeFile(errPath);
    if (pid < 0)
        throw std::runtime_error("quorlin did not run (fork failed): " + r.command);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
