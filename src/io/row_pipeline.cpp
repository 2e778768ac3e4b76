// The row pipeline: one producer thread, a short queue of row blocks.
#include "row_pipeline.h"

#include "line_reader.h"

#include <new>

namespace {
constexpr size_t kRowsPerBlock = 1 << 15;
constexpr size_t kBlocksAhead = 3;
constexpr size_t kChunksPerBlock = 4; // read buffers one block may hold on to
} // namespace

RowPipeline::RowPipeline(std::unique_ptr<InputSource> source, FieldSeparator sep, const PickedColumns& columns,
                         int headerLines, bool keepLines)
    : sep_(std::move(sep)), columns_(columns), keepLines_(keepLines), blocks_(kBlocksAhead)
{
    worker_ = std::thread([this, s = std::move(source), headerLines]() mutable {
        try {
            produce(std::move(s), headerLines);
        } catch (const std::bad_alloc&) { // a line larger than the memory: the reader throws it again
            outOfMemory_ = true;
            blocks_.finish();
        }
    });
}

RowPipeline::~RowPipeline()
{
    blocks_.stop();
    worker_.join();
}

const RowBlock* RowPipeline::next()
{
    if (!blocks_.pop(current_)) {
        if (outOfMemory_)
            throw std::bad_alloc();
        return nullptr;
    }
    return current_.get();
}

std::unique_ptr<RowBlock> RowPipeline::newBlock() const
{
    auto block = std::make_unique<RowBlock>();
    block->stride = columns_.count + (keepLines_ ? 1 : 0);
    block->fields.reserve(static_cast<size_t>(block->stride) * kRowsPerBlock);
    return block;
}

void RowPipeline::produce(std::unique_ptr<InputSource> source, int headerLines)
{
    LineReader in(std::move(source));
    empty_ = in.atEnd();
    std::string_view line, fields[PickedColumns::kMax];
    for (int i = 0; i < headerLines && in.next(line); ++i) {
    }
    long long shortRows = 0, dataRows = 0;
    auto block = newBlock();
    while (in.next(line)) {
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
        if (block->rows() == kRowsPerBlock || block->chunks.size() > kChunksPerBlock) {
            if (!blocks_.push(std::move(block)))
                return;
            block = newBlock();
        }
    }
    if (block->rows() > 0 && !blocks_.push(std::move(block)))
        return;
    failed_ = in.failed();
    shortRows_ = shortRows;
    dataRows_ = dataRows;
    innerCarriageReturns_ = in.innerCarriageReturns();
    blocks_.finish();
}
