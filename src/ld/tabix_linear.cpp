// Reading the linear index of a .tbi (the tabix format: magic "TBI\1",
// the sequence count, six int32 settings, the names, then per sequence
// its bins, each with its chunks, and its linear offsets), skipping the
// bins.
#include "ld/tabix_linear.h"

#include <algorithm>
#include <cstring>
#include <htslib/bgzf.h>
#include <memory>
#include <vector>

namespace {

struct BgzfCloser {
    void operator()(BGZF* f) const { bgzf_close(f); }
};

// The index's bytes through a buffer filled by large reads: the millions
// of small values of a genome-scale index, each read by its own
// bgzf_read, cost more than inflating the index.
class Reader {
public:
    explicit Reader(BGZF* f) : f_(f), buffer_(size_t(1) << 16) {}
    bool bytes(void* to, size_t n)
    {
        char* out = static_cast<char*>(to);
        while (n > 0) {
            if (at_ == end_ && !fill())
                return false;
            const size_t step = std::min(n, end_ - at_);
            if (out) {
                std::memcpy(out, buffer_.data() + at_, step);
                out += step;
            }
            at_ += step;
            n -= step;
        }
        return true;
    }
    bool u32(uint32_t& v)
    {
        uint8_t b[4];
        if (!bytes(b, 4))
            return false;
        v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return true;
    }
    bool count(uint32_t& v) { return u32(v) && v < (1u << 30); } // an int32 count, never negative
    bool u64(uint64_t& v)
    {
        uint32_t lo = 0, hi = 0;
        if (!u32(lo) || !u32(hi))
            return false;
        v = uint64_t(hi) << 32 | lo;
        return true;
    }
    bool skip(uint64_t n)
    {
        while (n > 0) {
            const size_t step = n < (uint64_t(1) << 30) ? static_cast<size_t>(n) : size_t(1) << 30;
            if (!bytes(nullptr, step))
                return false;
            n -= step;
        }
        return true;
    }

private:
    bool fill()
    {
        const ssize_t got = bgzf_read(f_, buffer_.data(), buffer_.size());
        at_ = 0;
        end_ = got > 0 ? static_cast<size_t>(got) : 0;
        return end_ > 0;
    }
    BGZF* f_;
    std::vector<char> buffer_;
    size_t at_ = 0, end_ = 0;
};

} // namespace

bool readTabixLinear(const std::string& path, TabixLinear& index, std::string& why)
{
    index = TabixLinear();
    std::unique_ptr<BGZF, BgzfCloser> file(bgzf_open(path.c_str(), "r"));
    why = "'" + path + "' is not a readable tabix index";
    if (!file)
        return false;
    Reader in(file.get());
    char magic[4];
    uint32_t sequences = 0, setting = 0, namesLength = 0;
    if (!in.bytes(magic, 4) || magic[0] != 'T' || magic[1] != 'B' || magic[2] != 'I' || magic[3] != 1 ||
        !in.count(sequences))
        return false;
    for (int k = 0; k < 6; ++k)
        if (!in.u32(setting))
            return false;
    if (!in.count(namesLength))
        return false;
    std::string names(namesLength, '\0');
    if (!in.bytes(names.data(), namesLength))
        return false;
    for (size_t at = 0; at < names.size() && index.names.size() < sequences;) {
        const size_t end = names.find('\0', at);
        index.names.push_back(names.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? names.size() : end + 1;
    }
    if (index.names.size() != sequences)
        return false;
    index.offsets.resize(sequences);
    for (uint32_t s = 0; s < sequences; ++s) {
        uint32_t bins = 0, intervals = 0;
        if (!in.count(bins))
            return false;
        for (uint32_t b = 0; b < bins; ++b) {
            uint32_t bin = 0, chunks = 0;
            if (!in.u32(bin) || !in.count(chunks) || !in.skip(uint64_t(chunks) * 16))
                return false;
        }
        if (!in.count(intervals))
            return false;
        std::vector<uint64_t>& o = index.offsets[s];
        o.resize(intervals);
        for (uint64_t& v : o)
            if (!in.u64(v))
                return false;
    }
    why.clear();
    return true;
}

bool tabixStart(const TabixLinear& index, size_t s, int64_t position, uint64_t& start)
{
    const std::vector<uint64_t>& o = index.offsets[s];
    const uint64_t window = static_cast<uint64_t>(position > 0 ? position - 1 : 0) >> 14;
    if (window >= o.size())
        return false;
    start = o[window];
    // A window no record overlaps may hold 0 where a writer left it
    // unfilled: the sequence's first record is then a safe start.
    for (size_t w = 0; start == 0 && w < o.size(); ++w)
        start = o[w];
    return start != 0;
}
