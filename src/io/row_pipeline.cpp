// The row pipeline: a producer step that fills one block of rows, a short
// queue of blocks, and the blocks the consumer is done with going back to
// the producer emptied, so their room is not allocated and faulted in anew.
#include "io/row_pipeline.h"

#include "io/line_reader.h"

namespace {
constexpr size_t kRowsPerBlock = 1 << 15;
constexpr size_t kBlocksAhead = 3;
constexpr size_t kChunksPerBlock = 4; // read buffers one block may hold on to
} // namespace

RowPipeline::RowPipeline(std::unique_ptr<InputSource> source, FieldSeparator sep, const PickedColumns& columns,
                         int headerLines, bool keepLines)
    : sep_(std::move(sep)), columns_(columns), keepLines_(keepLines), headerLines_(headerLines),
      source_(std::move(source)),
      blocks_(kBlocksAhead, [this](std::unique_ptr<RowBlock>& block) { return produce(block); })
{
}

const RowBlock* RowPipeline::next()
{
    if (current_) {
        current_->fields.clear();
        current_->chunks.clear(); // the read buffers go back to their pool
        std::lock_guard<std::mutex> lock(spareMutex_);
        if (spareBlocks_.size() < kBlocksAhead)
            spareBlocks_.push_back(std::move(current_));
        current_.reset();
    }
    if (!blocks_.next(current_))
        return nullptr;
    return current_.get();
}

std::unique_ptr<RowBlock> RowPipeline::newBlock()
{
    {
        std::lock_guard<std::mutex> lock(spareMutex_);
        if (!spareBlocks_.empty()) {
            std::unique_ptr<RowBlock> block = std::move(spareBlocks_.back());
            spareBlocks_.pop_back();
            return block;
        }
    }
    auto block = std::make_unique<RowBlock>();
    block->stride = columns_.count + (keepLines_ ? 1 : 0);
    block->fields.reserve(static_cast<size_t>(block->stride) * kRowsPerBlock);
    return block;
}

bool RowPipeline::produce(std::unique_ptr<RowBlock>& block)
{
    if (ended_)
        return false;
    std::string_view line, fields[PickedColumns::kMax];
    if (!in_) {
        in_ = std::make_unique<LineReader>(std::move(source_));
        empty_ = in_->atEnd();
        for (int i = 0; i < headerLines_ && in_->next(line); ++i) {
        }
    }
    LineReader& in = *in_;
    long long shortRows = shortRows_, dataRows = dataRows_;
    block = newBlock();
    bool full = false;
    while (!full && in.next(line)) {
        if (line.empty())
            continue;
        if (++dataRows == 1)
            firstRow_.assign(line.substr(0, 200));
        if (!pickFields(line, sep_, columns_, fields)) {
            ++shortRows;
            continue;
        }
        if (block->chunks.empty() || block->chunks.back() != in.chunk())
            block->chunks.push_back(in.chunk());
        block->fields.insert(block->fields.end(), fields, fields + columns_.count);
        if (keepLines_)
            block->fields.push_back(line);
        full = block->rows() == kRowsPerBlock || block->chunks.size() > kChunksPerBlock;
    }
    shortRows_ = shortRows;
    dataRows_ = dataRows;
    if (full)
        return true;
    ended_ = true;
    failed_ = in.failed();
    innerCarriageReturns_ = in.innerCarriageReturns();
    return block->rows() > 0;
}
