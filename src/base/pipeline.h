// Bounded pipelines of one producer and one consumer, on a worker of a
// ThreadPool: items pass through a BoundedQueue in the order they were
// made. PipelineSource makes items on the worker for the caller to take;
// PipelineSink takes the caller's items to the worker. Without a worker the
// other side's step runs on the caller, item by item, with the same result.
#pragma once
#include "base/bounded_queue.h"
#include "base/thread_pool.h"

#include <exception>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

template <typename T>
class PipelineSource {
public:
    // produce(item) makes the next item into item (a fresh T) and returns
    // true, or returns false at the end. At most `ahead` items wait.
    PipelineSource(size_t ahead, std::function<bool(T&)> produce, const ThreadStart& start = startThread)
        : produce_(std::move(produce)), queue_(ahead), pool_(1, start)
    {
        if (pool_.workers() > 0)
            pool_.start([this](int) { run(); });
    }
    // Stops the producer at its next item and waits for it.
    ~PipelineSource()
    {
        queue_.stop();
    }
    PipelineSource(const PipelineSource&) = delete;
    PipelineSource& operator=(const PipelineSource&) = delete;

    // The next item, in the order made; false at the end. What produce
    // threw is rethrown here once the items made before it are taken.
    // What produce writes besides the items is the caller's to read once
    // next() has returned false.
    bool next(T& item)
    {
        if (pool_.workers() == 0) {
            if (ended_)
                return false;
            item = T();
            ended_ = !produce_(item);
            return !ended_;
        }
        if (queue_.pop(item))
            return true;
        if (failure_) {
            const std::exception_ptr e = failure_;
            failure_ = nullptr;
            std::rethrow_exception(e);
        }
        return false;
    }

private:
    void run()
    {
        try {
            for (;;) {
                T item{};
                if (!produce_(item))
                    break;
                if (!queue_.push(std::move(item)))
                    return; // the consumer has gone
            }
        } catch (...) {
            failure_ = std::current_exception(); // seen by the consumer after finish()
        }
        queue_.finish();
    }

    std::function<bool(T&)> produce_;
    BoundedQueue<T> queue_;
    std::exception_ptr failure_;
    bool ended_ = false;
    ThreadPool pool_; // last: its worker is joined before the queue goes
};

template <typename T>
class PipelineSink {
public:
    // consume(item) takes each item, in the order pushed; afterwards the
    // item goes back to the producer through spare(). At most `ahead` items
    // wait.
    PipelineSink(size_t ahead, std::function<void(T&)> consume, const ThreadStart& start = startThread)
        : consume_(std::move(consume)), ahead_(ahead), queue_(ahead), pool_(1, start)
    {
        if (pool_.workers() > 0)
            pool_.start([this](int) { run(); });
    }
    ~PipelineSink()
    {
        queue_.stop(); // the items still waiting are dropped
        queue_.finish();
    }
    PipelineSink(const PipelineSink&) = delete;
    PipelineSink& operator=(const PipelineSink&) = delete;

    // Hands item to the consumer, waiting while `ahead` items wait. Once
    // consume has thrown, the items pushed are dropped.
    void push(T item)
    {
        if (pool_.workers() > 0) {
            queue_.push(std::move(item));
            return;
        }
        if (failure_)
            return;
        try {
            consume_(item);
        } catch (...) {
            failure_ = std::current_exception();
            return;
        }
        keepSpare(item);
    }

    // An item the consumer is done with, for the producer to fill again
    // (such as a buffer with its room); false when none is spare.
    bool spare(T& item)
    {
        std::lock_guard<std::mutex> lock(spareMutex_);
        if (spares_.empty())
            return false;
        item = std::move(spares_.back());
        spares_.pop_back();
        return true;
    }

    // Waits until every item pushed is consumed (or dropped); rethrows what
    // consume threw first. The sink takes no item afterwards.
    void finish()
    {
        queue_.finish();
        pool_.wait();
        if (failure_) {
            const std::exception_ptr e = failure_;
            failure_ = nullptr;
            std::rethrow_exception(e);
        }
    }

private:
    void run()
    {
        T item{};
        while (queue_.pop(item)) {
            try {
                consume_(item);
            } catch (...) {
                failure_ = std::current_exception(); // read by finish() after the worker is back
                queue_.stop();                       // the producer's pushes return at once
                return;
            }
            keepSpare(item);
        }
    }

    void keepSpare(T& item)
    {
        std::lock_guard<std::mutex> lock(spareMutex_);
        if (spares_.size() < ahead_)
            spares_.push_back(std::move(item));
    }

    std::function<void(T&)> consume_;
    const size_t ahead_;
    BoundedQueue<T> queue_;
    std::exception_ptr failure_;
    std::mutex spareMutex_;
    std::vector<T> spares_;
    ThreadPool pool_; // last: its worker is joined before the queue goes
};
