// Plain and gzip byte sources. A gzip stream must end with a complete member:
// a truncated or corrupt stream is an error, never a silent short read.
#include "io/byte_source.h"

#include "base/pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <new>
#include <vector>
#include <zlib.h>
#ifdef QUORLIN_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

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
    FileSource(int fd, std::atomic<uint64_t>* bytesRead) : fd_(fd), bytesRead_(bytesRead) {}
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
        if (bytesRead_)
            bytesRead_->fetch_add(static_cast<uint64_t>(n), std::memory_order_relaxed);
        return static_cast<size_t>(n);
    }

private:
    int fd_;
    std::atomic<uint64_t>* bytesRead_;
    std::vector<char> pending_;
};

// What both gzip decoders share: the compressed file and its input buffer.
class CompressedSource : public InputSource {
protected:
    explicit CompressedSource(std::unique_ptr<FileSource> file) : file_(std::move(file)), in_(1 << 18) {}

    // Loads more compressed bytes into in_ and returns their count; at the
    // end of the file the stream must stand between two members.
    size_t loadCompressed()
    {
        const size_t n = file_->read(in_.data(), in_.size());
        if (n == 0) {
            if (file_->failed() || inMember_)
                failed_ = true;
            else
                done_ = true;
        }
        return n;
    }

    // Between members, zero bytes are padding (as tape and block devices
    // leave it, and gzip accepts): they are skipped, and only more zeros
    // may follow them. True when the bytes at data were padding (all of
    // them taken); a non-zero byte after padding makes the stream damaged.
    bool skipPadding(const uint8_t* data, uint32_t& avail)
    {
        if (inMember_ || avail == 0 || (data[0] != 0 && !inPadding_))
            return false;
        inPadding_ = true;
        for (uint32_t k = 0; k < avail; ++k)
            if (data[k] != 0)
                failed_ = true;
        avail = 0;
        return true;
    }

    std::unique_ptr<FileSource> file_;
    std::vector<char> in_;
    bool inMember_ = false;
    bool inPadding_ = false;
    bool done_ = false;
};

class GzipSource : public CompressedSource {
public:
    explicit GzipSource(std::unique_ptr<FileSource> file) : CompressedSource(std::move(file))
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
            uInt avail = zs_.avail_in;
            if (skipPadding(zs_.next_in, avail)) {
                zs_.avail_in = avail;
                continue;
            }
            step();
        }
        return static_cast<size_t>(zs_.next_out - reinterpret_cast<Bytef*>(buf));
    }

private:
    bool refill()
    {
        const size_t n = loadCompressed();
        zs_.next_in = reinterpret_cast<Bytef*>(in_.data());
        zs_.avail_in = static_cast<uInt>(n);
        return n > 0;
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

    z_stream zs_;
};

#ifdef QUORLIN_HAVE_ISAL
// The same with ISA-L's inflate, several times faster than zlib's. Each
// member's CRC and length are checked; the input must end between members.
class IsalGzipSource : public CompressedSource {
public:
    explicit IsalGzipSource(std::unique_ptr<FileSource> file) : CompressedSource(std::move(file))
    {
        startMember();
    }

    size_t read(char* buf, size_t cap) override
    {
        size_t produced = 0;
        while (!failed_ && !done_ && produced < cap) {
            if (st_.avail_in == 0 && !refill())
                break;
            if (skipPadding(st_.next_in, st_.avail_in))
                continue;
            st_.next_out = reinterpret_cast<uint8_t*>(buf + produced);
            st_.avail_out = static_cast<uint32_t>(std::min<size_t>(cap - produced, 1u << 30));
            inMember_ = true;
            const int rc = isal_inflate(&st_);
            produced = static_cast<size_t>(reinterpret_cast<char*>(st_.next_out) - buf);
            if (rc != ISAL_DECOMP_OK)
                failed_ = true;
            else if (st_.block_state == ISAL_BLOCK_FINISH)
                startMember();
        }
        return produced;
    }

private:
    void startMember()
    {
        uint8_t* next = st_.next_in;
        const uint32_t avail = st_.avail_in;
        isal_inflate_init(&st_);
        st_.crc_flag = ISAL_GZIP;
        st_.next_in = next;
        st_.avail_in = avail;
        inMember_ = false;
    }

    bool refill()
    {
        const size_t n = loadCompressed();
        st_.next_in = reinterpret_cast<uint8_t*>(in_.data());
        st_.avail_in = static_cast<uint32_t>(n);
        return n > 0;
    }

    inflate_state st_{};
};
#endif

// Runs another source on a pipeline worker, a few blocks ahead of the
// reader, so that decompression overlaps the parsing of the rows; without
// a worker each block is read when it is wanted.
class ReadAheadSource : public InputSource {
public:
    explicit ReadAheadSource(std::unique_ptr<InputSource> inner)
        : inner_(std::move(inner)), blocks_(kAhead, [this](std::vector<char>& block) { return produce(block); })
    {
    }

    size_t read(char* buf, size_t cap) override
    {
        size_t done = 0;
        while (done < cap) {
            if (current_.size() == offset_ && !nextBlock())
                break;
            const size_t n = std::min(cap - done, current_.size() - offset_);
            std::memcpy(buf + done, current_.data() + offset_, n);
            offset_ += n;
            done += n;
        }
        return done;
    }

private:
    static constexpr size_t kBlock = 2 << 20;
    static constexpr size_t kAhead = 4;

    // Waits for the next block; false at the end (failed() tells why).
    bool nextBlock()
    {
        offset_ = 0;
        if (blocks_.next(current_))
            return true;
        current_.clear();
        failed_ = innerFailed_;
        return false;
    }

    // The producer's step: the next full block, or the short last one.
    bool produce(std::vector<char>& block)
    {
        if (ended_)
            return false;
        try {
            block.resize(kBlock);
            size_t filled = 0;
            while (filled < kBlock) {
                const size_t n = inner_->read(block.data() + filled, kBlock - filled);
                if (n == 0)
                    break;
                filled += n;
            }
            block.resize(filled);
            if (filled < kBlock) {
                ended_ = true;
                innerFailed_ = inner_->failed();
            }
            return filled > 0;
        } catch (const std::bad_alloc&) { // a failed read, like any other
            ended_ = innerFailed_ = true;
            return false;
        }
    }

    std::unique_ptr<InputSource> inner_;
    bool ended_ = false, innerFailed_ = false; // the producer's, read after the end
    std::vector<char> current_;
    size_t offset_ = 0;
    PipelineSource<std::vector<char>> blocks_; // last: its worker stops first
};

std::unique_ptr<InputSource> openWith(const std::string& path, bool useZlib, std::atomic<uint64_t>* bytesRead)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<FileSource>(fd, bytesRead);
    char magic[2];
    size_t got = 0;
    while (got < 2) {
        const size_t n = file->read(magic + got, 2 - got);
        if (n == 0)
            break;
        got += n;
    }
    file->unread(magic, got);
    if (got < 2 || static_cast<unsigned char>(magic[0]) != 0x1f || static_cast<unsigned char>(magic[1]) != 0x8b)
        return file;
#ifdef QUORLIN_HAVE_ISAL
    if (!useZlib)
        return std::make_unique<ReadAheadSource>(std::make_unique<IsalGzipSource>(std::move(file)));
#endif
    (void)useZlib;
    return std::make_unique<ReadAheadSource>(std::make_unique<GzipSource>(std::move(file)));
}

} // namespace

std::unique_ptr<InputSource> openInput(const std::string& path, std::atomic<uint64_t>* bytesRead)
{
    return openWith(path, false, bytesRead);
}

std::unique_ptr<InputSource> openInputWithZlib(const std::string& path)
{
    return openWith(path, true, nullptr);
}

uint64_t fileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
}
