// The row pipeline: a producer step that fills one block of rows, a short
// queue of blocks, and the blocks the consumer is done with going back to
// the producer emptied, so their room is not allocated and faulted in anew.
#include "io/row_pipeline.h"

#include "io/field_numbers.h"
#include "io/line_reader.h"

namespace {
constexpr size_t kRowsPerBlock = 1 << 15;
constexpr size_t kBlocksAhead = 3;
// Blocks kept for reuse: as many as can be out at once (those waiting, the
// consumer's and the producer's), so none is freed and faulted in anew.
constexpr size_t kSpareBlocks = kBlocksAhead + 2;
constexpr size_t kChunksPerBlock = 4; // read buffers one block may hold on to
constexpr uint64_t kBacklog = 2;       // blocks waiting that make the producer read decimals too
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
        current_->count = 0;
        current_->chunks.clear(); // the read buffers go back to their pool
        std::lock_guard<std::mutex> lock(spareMutex_);
        if (spareBlocks_.size() < kSpareBlocks)
            spareBlocks_.push_back(std::move(current_));
        current_.reset();
    }
    if (!blocks_.next(current_))
        return nullptr;
    taken_.fetch_add(1, std::memory_order_relaxed);
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
    block->stride = static_cast<size_t>(columns_.count + (keepLines_ ? 1 : 0));
    block->fields.resize(block->stride * kRowsPerBlock);
    block->integers.resize(kRowsPerBlock);
    block->decimals.resize(kRowsPerBlock);
    return block;
}

// The work of the two threads depends on the table and on what else runs
// on the machine: when blocks wait for the consumer, this thread has time
// to spare and reads the block's second fields as decimals too. Who reads
// them changes no value.
void RowPipeline::readDecimals(RowBlock& block)
{
    const uint64_t before = made_.fetch_add(1, std::memory_order_relaxed);
    block.decimalsRead = columns_.count >= 2 && before >= taken_.load(std::memory_order_relaxed) + kBacklog;
    if (!block.decimalsRead)
        return;
    for (size_t r = 0; r < block.count; ++r) {
        const std::string_view field = block.row(r)[1];
        PlainDecimal& d = block.decimals[r];
        if (!readPlainDecimal(field.data(), field.size(), d))
            d.exp10 = RowBlock::kNotPlain;
    }
}

bool RowPipeline::produce(std::unique_ptr<RowBlock>& block)
{
    if (ended_)
        return false;
    std::string_view line;
    if (!in_) {
        in_ = std::make_unique<LineReader>(std::move(source_));
        empty_ = in_->atEnd();
        for (int i = 0; i < headerLines_ && in_->next(line); ++i) {
        }
    }
    LineReader& in = *in_;
    long long shortRows = shortRows_, dataRows = dataRows_;
    block = newBlock();
    // The fields go straight into the block's room: a short row's are
    // written over by the next row's.
    RowBlock& into = *block;
    const size_t picked = static_cast<size_t>(columns_.count);
    bool full = false;
    while (!full && in.next(line)) {
        if (line.empty())
            continue;
        if (++dataRows == 1)
            firstRow_.assign(line.substr(0, 200));
        std::string_view* fields = into.fields.data() + into.stride * into.count;
        if (!pickFields(line, sep_, columns_, fields)) {
            ++shortRows;
            continue;
        }
        if (into.chunks.empty() || into.chunks.back() != in.chunk())
            into.chunks.push_back(in.chunk());
        if (keepLines_)
            fields[picked] = line;
        bool number = false;
        const int32_t integer = fieldToInt32(fields[0].data(), fields[0].size(), &number);
        into.integers[into.count] = number ? integer : RowBlock::kNoInteger;
        full = ++into.count == kRowsPerBlock || into.chunks.size() > kChunksPerBlock;
    }
    shortRows_ = shortRows;
    dataRows_ = dataRows;
    readDecimals(into);
    if (full)
        return true;
    ended_ = true;
    failed_ = in.failed();
    innerCarriageReturns_ = in.innerCarriageReturns();
    return block->rows() > 0;
}
