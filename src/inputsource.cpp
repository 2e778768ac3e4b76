// Plain and gzip byte sources. A gzip stream must end with a complete member:
// a truncated or corrupt stream is an error, never a silent short read.
#include "inputsource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

// Reads from fd, retrying interrupted calls. Returns -1 on error.
ssize_t readSome(int fd, char* buf, size_t cap)
{
    for (;;) {
        const ssize_t n = ::read(fd, buf, cap);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

class FileSource : public InputSource {
public:
    explicit FileSource(int fd) : fd_(fd) {}
    ~FileSource() override { ::close(fd_); }

    // Bytes already taken from the file to look for the gzip magic.
    void unread(const char* data, size_t n) { pending_.assign(data, data + n); }

    size_t read(char* buf, size_t cap) override
    {
        if (!pending_.empty()) {
            const size_t n = std::min(cap, pending_.size());
            std::memcpy(buf, pending_.data(), n);
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
            return n;
        }
        if (failed_)
            return 0;
        const ssize_t n = readSome(fd_, buf, cap);
        if (n < 0) {
            failed_ = true;
            return 0;
        }
        return static_cast<size_t>(n);
    }

private:
    int fd_;
    std::vector<char> pending_;
};

class GzipSource : public InputSource {
public:
    explicit GzipSource(std::unique_ptr<FileSource> file) : file_(std::move(file)), in_(1 << 18)
    {
        std::memset(&zs_, 0, sizeof zs_);
        if (inflateInit2(&zs_, 15 + 16) != Z_OK)
            failed_ = true;
    }
    ~GzipSource() override { inflateEnd(&zs_); }

    size_t read(char* buf, size_t cap) override
    {
        zs_.next_out = reinterpret_cast<Bytef*>(buf);
        zs_.avail_out = static_cast<uInt>(std::min<size_t>(cap, 1u << 30));
        while (!failed_ && !done_ && zs_.avail_out > 0) {
            if (zs_.avail_in == 0 && !refill())
                break;
            step();
        }
        return static_cast<size_t>(zs_.next_out - reinterpret_cast<Bytef*>(buf));
    }

private:
    // Loads more compressed bytes; at the end of the file the stream must
    // stand between two members.
    bool refill()
    {
        const size_t n = file_->read(in_.data(), in_.size());
        if (n == 0) {
            if (file_->failed() || inMember_)
                failed_ = true;
            else
                done_ = true;
            return false;
        }
        zs_.next_in = reinterpret_cast<Bytef*>(in_.data());
        zs_.avail_in = static_cast<uInt>(n);
        return true;
    }

    void step()
    {
        inMember_ = true;
        const int rc = inflate(&zs_, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            inMember_ = false;
            // Another member may follow (bgzip, concatenated gzip files).
            if (inflateReset(&zs_) != Z_OK)
                failed_ = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            failed_ = true;
        }
    }

    std::unique_ptr<FileSource> file_;
    std::vector<char> in_;
    z_stream zs_;
    bool inMember_ = false;
    bool done_ = false;
};

} // namespace

std::unique_ptr<InputSource> openInput(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<FileSource>(fd);
    char magic[2];
    size_t got = 0;
    while (got < 2) {
        const size_t n = file->read(magic + got, 2 - got);
        if (n == 0)
            break;
        got += n;
    }
    file->unread(magic, got);
    if (got == 2 && static_cast<unsigned char>(magic[0]) == 0x1f && static_cast<unsigned char>(magic[1]) == 0x8b)
        return std::make_unique<GzipSource>(std::move(file));
    return file;
}
