// The row pipeline: one producer thread, a short queue of row blocks.
#include "rowpipeline.h"

#include "linereader.h"

namespace {
constexpr size_t kRowsPerBlock = 1 << 15;
constexpr size_t kBlocksAhead = 3;
} // namespace

RowPipeline::RowPipeline(std::unique_ptr<InputSource> source, FieldSeparator sep, const int cols[3], int headerLines)
    : sep_(std::move(sep)), cols_{cols[0], cols[1], cols[2]}
{
    worker_ = std::thread([this, s = std::move(source), headerLines]() mutable { produce(std::move(s), headerLines); });
}

RowPipeline::~RowPipeline()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

bool RowPipeline::inputEmpty()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return knownEmpty_; });
    return empty_;
}

const RowBlock* RowPipeline::next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
    if (ready_.empty())
        return nullptr;
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return current_.get();
}

// Hands a full block to the reader; waits while the queue is full. False
// when the reader has gone and production should stop.
bool RowPipeline::publish(std::unique_ptr<RowBlock> block)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ready_.size() < kBlocksAhead || stop_; });
    ready_.push_back(std::move(block));
    changed_.notify_all();
    return !stop_;
}

void RowPipeline::produce(std::unique_ptr<InputSource> source, int headerLines)
{
    LineReader in(std::move(source));
    const bool empty = in.atEnd();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        knownEmpty_ = true;
        empty_ = empty;
    }
    changed_.notify_all();
    std::string_view line, fields[3];
    for (int i = 0; i < headerLines && in.next(line); ++i) {
    }
    long long shortRows = 0;
    auto block = std::make_unique<RowBlock>();
    block->fields.reserve(3 * kRowsPerBlock);
    while (in.next(line)) {
        if (line.empty())
            continue;
        if (!pickFields(line, sep_, cols_, fields)) {
            ++shortRows;
            continue;
        }
        if (block->chunks.empty() || block->chunks.back() != in.chunk())
            block->chunks.push_back(in.chunk());
        block->fields.insert(block->fields.end(), fields, fields + 3);
        if (block->rows() == kRowsPerBlock || block->chunks.size() > 4) {
            if (!publish(std::move(block)))
                return;
            block = std::make_unique<RowBlock>();
            block->fields.reserve(3 * kRowsPerBlock);
        }
    }
    if (block->rows() > 0)
        publish(std::move(block));
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = in.failed();
    shortRows_ = shortRows;
    innerCarriageReturns_ = in.innerCarriageReturns();
    finished_ = true;
    changed_.notify_all();
}
