// Reading rows on a second thread: lines are split and the three needed
// fields picked ahead of the main thread, which converts and batches them.
// Rows arrive in input order, so the results are those of reading inline.
#pragma once
#include "inputsource.h"
#include "rowsplitter.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

// The picked fields of consecutive rows: views into the reader's buffers,
// which the block holds.
struct RowBlock {
    std::vector<std::string_view> fields; // three per row
    std::vector<std::shared_ptr<std::vector<char>>> chunks;

    size_t rows() const { return fields.size() / 3; }
    const std::string_view* row(size_t r) const { return fields.data() + 3 * r; }
};

class RowPipeline {
public:
    // Skips headerLines lines (of any content) first. Empty lines are not
    // rows; rows too short for the columns are counted, not delivered.
    RowPipeline(std::unique_ptr<InputSource> source, FieldSeparator sep, const int cols[3], int headerLines);
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // True when the input holds no bytes at all.
    bool inputEmpty();
    // The next block of rows, or null at the end of the input.
    const RowBlock* next();
    // After the end: whether the input could not be read to its end, and
    // what the reader counted.
    bool failed() const { return failed_; }
    long long shortRows() const { return shortRows_; }
    long long innerCarriageReturns() const { return innerCarriageReturns_; }

private:
    void produce(std::unique_ptr<InputSource> source, int headerLines);
    bool publish(std::unique_ptr<RowBlock> block);

    FieldSeparator sep_;
    int cols_[3];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<RowBlock>> ready_;
    std::unique_ptr<RowBlock> current_;
    bool knownEmpty_ = false, empty_ = false, finished_ = false, stop_ = false;
    bool failed_ = false;
    long long shortRows_ = 0, innerCarriageReturns_ = 0;
    std::thread worker_;
};
