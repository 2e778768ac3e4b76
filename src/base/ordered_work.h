// Work on a stream of inputs by several workers at once, with the results
// taken in the order the inputs came: the caller pushes inputs as it makes
// them and takes each result when it is ready, so its own work goes on
// meanwhile. Each worker keeps its slot (ThreadPool), so state per slot
// needs no lock. Without a worker, push() does the work on the caller.
#pragma once
#include "base/thread_pool.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>

template <typename In, typename Out>
class OrderedWork {
public:
    // work(input, slot) gives the result of one input; slot is 0 on the
    // caller, 1..workers() on the workers.
    OrderedWork(int workers, std::function<Out(In&, int slot)> work, const ThreadStart& start = startThread)
        : work_(std::move(work)), pool_(workers, start)
    {
        if (pool_.workers() > 0)
            pool_.start([this](int slot) { serve(slot); });
    }
    // The inputs not started are dropped; the running ones end first.
    ~OrderedWork()
    {
        cancel();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all(); // the pool, destroyed first, waits for the workers
    }
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    int workers() const { return pool_.workers(); }

    void push(In input)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        results_.emplace_back(); // its place, made here: a worker's result needs no memory to land
        const uint64_t sequence = pushed_++;
        if (workers() == 0) {
            lock.unlock();
            finishOne(sequence, input, 0);
            return;
        }
        try {
            inputs_.push_back({sequence, std::move(input)});
        } catch (...) { // out of memory: the input is not taken
            --pushed_;
            results_.pop_back();
            throw;
        }
        lock.unlock();
        changed_.notify_all();
    }

    // Pushed and not taken yet.
    size_t inFlight() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<size_t>(pushed_ - taken_);
    }

    // The result of the oldest input not taken: false when it is not ready
    // or none is left; with wait, waits until it is ready. When its work
    // threw, that exception is thrown here in its place.
    bool take(Out& out, bool wait)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait)
            changed_.wait(lock, [this] { return taken_ == pushed_ || results_.front().ready; });
        if (taken_ == pushed_ || !results_.front().ready)
            return false;
        Result r = std::move(results_.front());
        results_.pop_front();
        ++taken_;
        lock.unlock();
        if (r.failure)
            std::rethrow_exception(r.failure);
        out = std::move(r.out);
        return true;
    }

    // Drops the inputs not started and waits for the running ones; their
    // results (the oldest ones) can still be taken.
    void cancel()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        pushed_ -= inputs_.size(); // the dropped inputs are the newest
        results_.resize(results_.size() - inputs_.size());
        inputs_.clear();
        changed_.wait(lock, [this] { return running_ == 0; });
    }

private:
    struct Input {
        uint64_t sequence;
        In in;
    };
    struct Result {
        Out out{};
        std::exception_ptr failure;
        bool ready = false;
    };

    void finishOne(uint64_t sequence, In& input, int slot)
    {
        Result r;
        try {
            r.out = work_(input, slot);
        } catch (...) {
            r.failure = std::current_exception();
        }
        r.ready = true;
        std::lock_guard<std::mutex> lock(mutex_);
        results_[static_cast<size_t>(sequence - taken_)] = std::move(r);
    }

    void serve(int slot)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !inputs_.empty() || closing_; });
            if (inputs_.empty())
                return;
            Input input = std::move(inputs_.front());
            inputs_.pop_front();
            ++running_;
            lock.unlock();
            finishOne(input.sequence, input.in, slot);
            lock.lock();
            --running_;
            changed_.notify_all();
        }
    }

    std::function<Out(In&, int)> work_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Input> inputs_;
    std::deque<Result> results_; // from the oldest not taken to the newest pushed
    uint64_t pushed_ = 0, taken_ = 0;
    int running_ = 0;
    bool closing_ = false;
    ThreadPool pool_; // last: the workers are joined before the rest goes
};
