// Reading rows on a pipeline worker: lines are split and the wanted fields
// picked ahead of the consuming thread, which converts and batches them.
// Rows arrive in input order, so the results are those of reading inline
// (which is what happens where no worker can be started).
#pragma once
#include "base/pipeline.h"
#include "io/byte_source.h"
#include "io/field_numbers.h"
#include "io/field_splitter.h"
#include "io/line_reader.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The picked fields of consecutive rows: views into the reader's buffers,
// which the block holds.
struct RowBlock {
    size_t stride = 3;  // fields per row (the picked ones, then the line when kept)
    size_t count = 0;   // rows held
    std::vector<std::string_view> fields; // room for a full block; the first count rows hold
    // Per row, the first picked field as fieldToInt32 reads it, or
    // kNoInteger: the reading thread converts it, to share the work.
    std::vector<int64_t> integers;
    // Per row, the second picked field as readPlainDecimal reads it (exp10
    // kNotPlain where it reads none), when decimalsRead: the reading thread
    // reads them for the blocks it makes while the consumer is behind.
    std::vector<PlainDecimal> decimals;
    bool decimalsRead = false;
    std::vector<std::shared_ptr<ByteChunk>> chunks;

    static constexpr int64_t kNoInteger = INT64_MIN;
    static constexpr int kNotPlain = INT32_MIN;
    size_t rows() const { return count; }
    const std::string_view* row(size_t r) const { return fields.data() + stride * r; }
};

class RowPipeline {
public:
    // Skips headerLines lines (of any content) first. Empty lines are not
    // rows; rows too short for the columns are counted, not delivered. With
    // keepLines every row carries its whole line as one more field, after
    // the picked ones (for the few rows whose other fields are wanted too).
    RowPipeline(std::unique_ptr<InputSource> source, FieldSeparator sep, const PickedColumns& columns, int headerLines,
                bool keepLines = false);
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // The next block of rows, or null at the end of the input. Throws
    // std::bad_alloc when the reading step ran out of memory.
    const RowBlock* next();
    // After the end: whether the input held no bytes at all, whether it
    // could not be read to its end, and what the reader counted.
    bool inputEmpty() const { return empty_; }
    bool failed() const { return failed_; }
    long long shortRows() const { return shortRows_; }
    long long dataRows() const { return dataRows_; } // non-empty lines after the header
    long long innerCarriageReturns() const { return innerCarriageReturns_; }
    const std::string& firstRow() const { return firstRow_; } // the first data row, cut after 200 bytes

private:
    // The producer's step: the next block of rows; false at the end.
    bool produce(std::unique_ptr<RowBlock>& block);
    void readDecimals(RowBlock& block);
    // An emptied block the consumer is done with (its room kept), or a new one.
    std::unique_ptr<RowBlock> newBlock();

    FieldSeparator sep_;
    PickedColumns columns_;
    bool keepLines_;
    int headerLines_;
    std::unique_ptr<InputSource> source_; // into in_ at the first step
    std::unique_ptr<LineReader> in_;
    std::unique_ptr<RowBlock> current_;
    // Blocks made and blocks taken: their difference is the consumer's
    // backlog, which the producer reads to decide whether to take on work.
    std::atomic<uint64_t> made_{0}, taken_{0};
    // Written by the producer; the consumer's once next() returned null.
    bool empty_ = false, failed_ = false, ended_ = false;
    long long shortRows_ = 0, dataRows_ = 0, innerCarriageReturns_ = 0;
    std::string firstRow_;
    std::mutex spareMutex_; // guards spareBlocks_, which both sides touch
    std::vector<std::unique_ptr<RowBlock>> spareBlocks_;
    PipelineSource<std::unique_ptr<RowBlock>> blocks_; // last: its worker stops first
};
