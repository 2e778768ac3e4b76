// Every output file is written the same way: under a temporary name in the
// target's folder, checked, and renamed into place only when complete, so an
// interrupted or failed run leaves the earlier file as it was. A device or
// FIFO is written directly; a symbolic link is written through (its target
// is replaced, the link stays).
#pragma once
#include "io/file_paths.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The temporary files of one run, so that a signal can remove them. After
// removeAllAndHold() no new temporary file is created.
class TemporaryFiles {
public:
    // Creates path exclusively (mode 0666 less the umask) and registers it;
    // -1 with errno set when it cannot.
    int create(const std::string& path);
    // The file was renamed or removed.
    void forget(const std::string& path);
    // A name for a new temporary file beside target, unique in this run.
    std::string nameBeside(const std::string& target);
    // Removes every registered file and keeps the lock, so that nothing is
    // created after it; for the signal thread right before it exits.
    void removeAllAndHold();

private:
    std::mutex mutex_;
    std::vector<std::string> paths_;
    unsigned long long next_ = 0;
};

class OutputFile {
public:
    explicit OutputFile(TemporaryFiles& temps) : temps_(&temps) {}
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file of an output that was not committed.
    ~OutputFile();

    // Starts the output for path. False with errno set when it cannot be
    // created (a missing folder, a folder in the way, no permission).
    bool open(const std::string& path);
    void write(std::string_view text);
    // Flushes and closes; false when any write or the close failed (the
    // temporary file is then removed).
    bool close();
    // Renames the closed output into place; false with errno set when that
    // fails (the temporary file is then removed).
    bool commit();
    // Drops the output: the temporary file goes, the earlier file stays.
    void discard();
    bool isOpen() const { return fd_ >= 0; }
    // The errno of the first failure (0 when none failed).
    int error() const { return error_; }
    const std::string& path() const { return path_; }

private:
    bool flush();
    void writeAll(std::string_view text);
    void removeTemporary();

    TemporaryFiles* temps_;
    std::string path_;      // as given, for messages
    std::string target_;    // where the file ends up
    std::string temporary_; // empty when written directly
    int fd_ = -1;
    bool failed_ = false;
    int error_ = 0;
    std::string buffer_;
};
