// Report file output through write(2) with a 1 MiB buffer.
#include "report_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr size_t kFlushSize = 1 << 20;
}

ReportWriter::~ReportWriter()
{
    if (fd_ >= 0)
        close();
}

bool ReportWriter::open(const std::string& path)
{
    if (fd_ >= 0)
        close();
    buffer_.clear();
    failed_ = false;
    error_ = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

void ReportWriter::write(std::string_view text)
{
    buffer_.append(text);
    if (fd_ >= 0 && buffer_.size() >= kFlushSize)
        flush();
}

bool ReportWriter::flush()
{
    size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            error_ = n < 0 ? errno : ENOSPC;
        }
        else
            done += static_cast<size_t>(n);
    }
    buffer_.clear();
    return !failed_;
}

bool ReportWriter::close()
{
    if (fd_ < 0)
        return !failed_;
    flush();
    if (::close(fd_) != 0 && !failed_) {
        failed_ = true;
        error_ = errno;
    }
    fd_ = -1;
    return !failed_;
}
