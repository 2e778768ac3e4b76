// Output files through write(2) with a 1 MiB buffer, staged under a
// temporary name beside their target.
#include "io/output_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kFlushSize = 1 << 20;
constexpr int kNameTries = 1000;

} // namespace

int TemporaryFiles::create(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
        paths_.push_back(path);
    return fd;
}

void TemporaryFiles::forget(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find(paths_.begin(), paths_.end(), path);
    if (it != paths_.end())
        paths_.erase(it);
}

std::string TemporaryFiles::nameBeside(const std::string& target)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return folderOf(target) + "." + fileNameOf(target) + ".quorlin-" + std::to_string(getpid()) + "-" + std::to_string(next_++);
}

void TemporaryFiles::removeAllAndHold()
{
    mutex_.lock(); // never unlocked: the process exits right after
    for (const std::string& path : paths_)
        ::unlink(path.c_str());
    paths_.clear();
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : temps_(other.temps_), path_(std::move(other.path_)), target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)), fd_(other.fd_), failed_(other.failed_), error_(other.error_),
      buffer_(std::move(other.buffer_))
{
    other.fd_ = -1;
    other.temporary_.clear();
}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::open(const std::string& path)
{
    discard();
    path_ = path;
    target_ = resolvedOutputPath(path);
    failed_ = false;
    error_ = 0;
    struct stat st;
    const bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = error_ = EISDIR;
        return false;
    }
    // A device, FIFO or socket is written as it is, through the name given:
    // /dev/stdout or /dev/fd/N of a pipe links to no path of its own.
    if (exists && !S_ISREG(st.st_mode)) {
        target_ = path;
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0)
            error_ = errno;
        return fd_ >= 0;
    }
    // A killed run may have left a temporary file of the same process id
    // behind: it is skipped, never reused or removed.
    for (int tries = 0; tries < kNameTries; ++tries) {
        temporary_ = temps_->nameBeside(target_);
        fd_ = temps_->create(temporary_);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        error_ = errno;
        temporary_.clear();
        return false;
    }
    if (exists)
        fchmod(fd_, st.st_mode & 07777); // the new file keeps the earlier one's permissions
    return true;
}

void OutputFile::write(std::string_view text)
{
    // A large text goes straight to the file rather than through a copy.
    if (fd_ >= 0 && text.size() >= kFlushSize) {
        flush();
        writeAll(text);
        return;
    }
    buffer_.append(text);
    if (fd_ >= 0 && buffer_.size() >= kFlushSize)
        flush();
}

void OutputFile::writeAll(std::string_view text)
{
    size_t done = 0;
    while (!failed_ && done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            error_ = n < 0 ? errno : ENOSPC;
        } else {
            done += static_cast<size_t>(n);
        }
    }
}

bool OutputFile::flush()
{
    writeAll(buffer_);
    buffer_.clear();
    return !failed_;
}

bool OutputFile::close()
{
    if (fd_ >= 0) {
        flush();
        // A closed output may wait long for its rename (every regional
        // figure of a table waits for the others): it keeps no buffer.
        std::string().swap(buffer_);
        if (::close(fd_) != 0 && !failed_) {
            failed_ = true;
            error_ = errno;
        }
        fd_ = -1;
    }
    if (failed_)
        removeTemporary();
    return !failed_;
}

bool OutputFile::commit()
{
    if (!close())
        return false;
    if (temporary_.empty())
        return true;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        failed_ = true;
        error_ = errno;
        removeTemporary();
        return false;
    }
    temps_->forget(temporary_);
    temporary_.clear();
    return true;
}

void OutputFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    buffer_.clear();
    removeTemporary();
}

void OutputFile::removeTemporary()
{
    if (temporary_.empty())
        return;
    ::unlink(temporary_.c_str());
    temps_->forget(temporary_);
    temporary_.clear();
}
