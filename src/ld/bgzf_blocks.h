// The lines of a BGZF file read by seeks to virtual offsets, its blocks
// inflated ahead in batches on a pool's threads: what a VCF panel read
// through its tabix index needs (seek, tell, the next line). A line that
// lies inside one block is handed out in place.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ThreadPool;

class BgzfBlockLines {
public:
    // plan: the compressed offsets of the blocks the seeks will go to, in
    // the order they will come (repeats and misses are allowed; they only
    // cost speed). A pool's workers inflate them ahead, kBatch at a time,
    // while this thread reads; the pool is this reader's until it ends.
    BgzfBlockLines(const std::string& path, std::vector<uint64_t> plan, ThreadPool* pool);
    ~BgzfBlockLines();
    BgzfBlockLines(const BgzfBlockLines&) = delete;
    BgzfBlockLines& operator=(const BgzfBlockLines&) = delete;

    bool opened() const { return fd_ >= 0; }
    // The virtual offset of the next line, as bgzf_tell gives it.
    uint64_t tell() const;
    // False when the block cannot be read or is damaged.
    bool seek(uint64_t virtualOffset);
    // The next line without its '\n' (nor a '\r' before it) as [s, s + n):
    // 1; 0 at the end of the file; -1 when a block cannot be read or is
    // damaged. The line is valid until the next call.
    int line(const char*& s, size_t& n);

    static constexpr size_t kBatch = 16;

private:
    struct Block {
        uint64_t at = 0, next = 0; // compressed offsets of this block and the next
        std::unique_ptr<char[]> text; // kMaxBlock bytes, of which size hold the block's text
        size_t size = 0;
        int state = 0; // 1 inflated, 0 the end of the file, -1 damaged or unreadable
    };
    static constexpr int kTaken = -2; // a block of a batch already handed out
    struct Compressed { // a thread's
        std::vector<uint8_t> bytes;
        size_t lastSize = 0; // of the last block it read
    };
    void inflate(uint64_t at, Block& b, Compressed& compressed) const;
    bool load(uint64_t at);
    bool take(std::vector<Block>& blocks, uint64_t at);
    void startNext();
    void inflateClaimed(size_t slot);
    void finishNext();

    int fd_ = -1;
    std::vector<uint64_t> plan_;
    size_t planAt_ = 0;
    ThreadPool* pool_;
    std::vector<Block> ahead_;                    // the batch being read
    std::vector<uint64_t> nextAt_;                // the next batch's blocks
    std::vector<Block> next_;                     // inflated by the workers while running_
    std::atomic<size_t> claimed_{0};              // of nextAt_, the blocks begun
    bool running_ = false;
    std::vector<Compressed> compressed_; // per thread
    Block current_;
    bool loaded_ = false;
    size_t offset_ = 0; // in current_.text
    std::string joined_; // a line over blocks
};
