// BGZF blocks inflated ahead on a pool, and the lines over them.
#include "ld/bgzf_blocks.h"

#include "base/thread_pool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>
#ifdef QUORLIN_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

namespace {

constexpr size_t kMaxBlock = 65536; // a BGZF block's largest size, compressed or not
constexpr size_t kHeader = 18, kTrailer = 8;
constexpr size_t kMinRead = 4096;

// pread that goes on after an interruption; -1 on an error.
ssize_t readAt(int fd, uint8_t* to, size_t n, uint64_t at)
{
    ssize_t got;
    do
        got = pread(fd, to, n, static_cast<off_t>(at));
    while (got < 0 && errno == EINTR);
    return got;
}

uint32_t little16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t little32(const uint8_t* p) { return little16(p) | little16(p + 2) << 16; }

// Raw deflate data into exactly out.size() bytes, and their CRC-32; false
// when the data is damaged or does not fill out exactly.
bool inflated(const uint8_t* in, size_t n, char* text, size_t size, uint32_t& crc)
{
#ifdef QUORLIN_HAVE_ISAL
    inflate_state st;
    isal_inflate_init(&st);
    st.crc_flag = ISAL_GZIP_NO_HDR;
    st.next_in = const_cast<uint8_t*>(in);
    st.avail_in = static_cast<uint32_t>(n);
    st.next_out = reinterpret_cast<uint8_t*>(text);
    st.avail_out = static_cast<uint32_t>(size);
    const int rc = isal_inflate_stateless(&st);
    crc = st.crc;
    return rc == ISAL_DECOMP_OK && st.total_out == size;
#else
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = reinterpret_cast<Bytef*>(text);
    z.avail_out = static_cast<uInt>(size);
    const int rc = inflate(&z, Z_FINISH);
    const bool ok = rc == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(text), static_cast<uInt>(size)));
    return ok;
#endif
}

} // namespace

BgzfBlockLines::BgzfBlockLines(const std::string& path, std::vector<uint64_t> plan, ThreadPool* pool)
    : plan_(std::move(plan)), pool_(pool)
{
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (pool_ && pool_->workers() == 0)
        pool_ = nullptr;
    compressed_.resize(pool_ ? static_cast<size_t>(pool_->workers()) + 1 : 1);
}

BgzfBlockLines::~BgzfBlockLines()
{
    try {
        finishNext();
    } catch (...) { // a worker that ran out of memory: nothing is read any more
    }
    if (fd_ >= 0)
        close(fd_);
}

// One block as bgzf_read_block takes it: the gzip header with the BC
// extra field alone (its size), the deflate data, the CRC-32 and the
// length of the text, each checked.
void BgzfBlockLines::inflate(uint64_t at, Block& b, Compressed& compressed) const
{
    b.at = at;
    b.size = 0;
    b.state = -1;
    if (!b.text)
        b.text.reset(new char[kMaxBlock]);
    // The header, and as much more as the thread's last block took (a
    // file's blocks are much alike); the rest, when more, after it.
    compressed.bytes.resize(kMaxBlock);
    uint8_t* const h = compressed.bytes.data();
    const size_t first = std::min(kMaxBlock, std::max(kMinRead, compressed.lastSize + compressed.lastSize / 4));
    ssize_t got = readAt(fd_, h, first, at);
    if (got == 0) {
        b.state = 0;
        return;
    }
    if (got < static_cast<ssize_t>(kHeader + kTrailer) || h[0] != 31 || h[1] != 139 || h[2] != 8 || !(h[3] & 4) ||
        little16(h + 10) != 6 || h[12] != 'B' || h[13] != 'C' || little16(h + 14) != 2)
        return;
    const size_t size = little16(h + 16) + 1;
    if (size < kHeader + kTrailer)
        return;
    compressed.lastSize = size;
    if (static_cast<size_t>(got) < size && static_cast<size_t>(got) == first) {
        const ssize_t more = readAt(fd_, h + got, size - first, at + first);
        got += more > 0 ? more : 0;
    }
    if (static_cast<size_t>(got) < size)
        return;
    const uint32_t crc = little32(h + size - 8), length = little32(h + size - 4);
    if (length > kMaxBlock)
        return;
    uint32_t mine = 0;
    if (!inflated(h + kHeader, size - kHeader - kTrailer, b.text.get(), length, mine) || mine != crc)
        return;
    b.size = length;
    if (length == 0) { // an empty block ends the file, as for htslib's reading
        b.state = 0;
        return;
    }
    b.next = at + size;
    b.state = 1;
}

// The block at `at` of blocks into current_, when there (each is taken once).
bool BgzfBlockLines::take(std::vector<Block>& blocks, uint64_t at)
{
    for (Block& b : blocks)
        if (b.at == at && b.state != kTaken) {
            std::swap(current_, b);
            b.state = kTaken;
            return true;
        }
    return false;
}

// Starts inflating the plan's next batch on the pool's workers.
void BgzfBlockLines::startNext()
{
    nextAt_.clear();
    for (; planAt_ < plan_.size() && nextAt_.size() < kBatch; ++planAt_)
        if (nextAt_.empty() || plan_[planAt_] != nextAt_.back())
            nextAt_.push_back(plan_[planAt_]);
    if (nextAt_.empty())
        return;
    next_.resize(nextAt_.size());
    claimed_ = 0;
    running_ = true;
    pool_->start([this](int slot) { inflateClaimed(static_cast<size_t>(slot)); });
}

void BgzfBlockLines::inflateClaimed(size_t slot)
{
    for (size_t i; (i = claimed_.fetch_add(1)) < nextAt_.size();)
        inflate(nextAt_[i], next_[i], compressed_[slot]);
}

// Inflates what the workers have not begun of the batch under way, and
// waits for the rest.
void BgzfBlockLines::finishNext()
{
    if (!running_)
        return;
    inflateClaimed(0);
    pool_->wait();
    running_ = false;
}

// Makes the block at `at` the current one. Design note: two batches of the
// plan are in hand, the one being read (ahead_) and the next, inflated by
// the workers meanwhile; when the reading reaches the next one, this
// thread inflates what of it is left, it becomes the one being read, and
// the workers go on to the one after. A block the plan does not name soon
// (the reading going on into the next block) is inflated alone; one it
// names further on starts the batches again from there. Invariant: every
// block handed out is the file's block at that offset, whichever thread
// inflated it; only the time differs.
bool BgzfBlockLines::load(uint64_t at)
{
    offset_ = 0;
    loaded_ = true;
    if (take(ahead_, at))
        return current_.state >= 0;
    if (running_ && std::find(nextAt_.begin(), nextAt_.end(), at) != nextAt_.end()) {
        finishNext();
        std::swap(ahead_, next_);
        startNext();
        take(ahead_, at);
        return current_.state >= 0;
    }
    const size_t look = std::min(plan_.size(), planAt_ + 4 * kBatch);
    const size_t found = static_cast<size_t>(std::find(plan_.begin() + static_cast<std::ptrdiff_t>(planAt_),
                                                       plan_.begin() + static_cast<std::ptrdiff_t>(look), at) -
                                             plan_.begin());
    if (found == look || !pool_) {
        inflate(at, current_, compressed_[0]);
        if (found < look)
            planAt_ = found + 1;
        return current_.state >= 0;
    }
    finishNext(); // the reading has gone past that batch
    planAt_ = found;
    startNext();
    finishNext();
    std::swap(ahead_, next_);
    startNext();
    take(ahead_, at);
    return current_.state >= 0;
}

uint64_t BgzfBlockLines::tell() const
{
    if (!loaded_)
        return 0;
    if (offset_ >= current_.size && current_.state == 1)
        return current_.next << 16;
    return (current_.at << 16) | offset_;
}

bool BgzfBlockLines::seek(uint64_t virtualOffset)
{
    const uint64_t at = virtualOffset >> 16;
    const size_t within = static_cast<size_t>(virtualOffset & 0xffff);
    if (fd_ < 0 || ((!loaded_ || current_.at != at || current_.state != 1) && !load(at)))
        return false;
    if (within > current_.size)
        return false;
    offset_ = within;
    return true;
}

int BgzfBlockLines::line(const char*& s, size_t& n)
{
    if (fd_ < 0)
        return -1;
    if (!loaded_ && !load(0))
        return current_.state;
    bool joining = false;
    joined_.clear();
    for (;;) {
        if (offset_ >= current_.size) {
            if (current_.state == 1 && load(current_.next))
                continue;
            if (current_.state < 0)
                return -1;
            if (!joining)
                return 0; // the end of the file
            s = joined_.data();
            n = joined_.size();
            break;
        }
        const char* from = current_.text.get() + offset_;
        const size_t left = current_.size - offset_;
        const char* end = static_cast<const char*>(std::memchr(from, '\n', left));
        const size_t take = end ? static_cast<size_t>(end - from) : left;
        offset_ += take + (end ? 1 : 0);
        if (end && !joining) {
            s = from;
            n = take;
            break;
        }
        joined_.append(from, take);
        joining = true;
        if (end) {
            s = joined_.data();
            n = joined_.size();
            break;
        }
    }
    if (n > 0 && s[n - 1] == '\r')
        --n;
    return 1;
}
