// A small pool of worker threads for every parallel part of a run: a
// parallel loop over an index range (parallelFor), and rounds in which each
// worker runs one loop of its own while the caller goes on (start, wait),
// which the pipelines (pipeline.h, ordered_work.h) are made of. A worker
// that cannot be started leaves the pool smaller; with none, parallelFor
// runs every index on the caller. Design notes: README.md in this folder.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <vector>

// Starts a thread running body; throws std::system_error when the system
// gives no thread. Tests pass one that fails.
using ThreadStart = std::function<std::thread(std::function<void()>)>;
std::thread startThread(std::function<void()> body);

class ThreadPool {
public:
    // Starts up to `workers` threads; those that fail to start are left out.
    explicit ThreadPool(int workers, const ThreadStart& start = startThread);
    // Waits for the round under way (its exception is dropped), then ends
    // the workers.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The threads that were started; slots 1..workers() are theirs, slot 0
    // is the caller's.
    int workers() const { return static_cast<int>(threads_.size()); }

    // A round: every worker runs loop(slot) once; returns at once. One round
    // at a time: wait() before the next start().
    void start(std::function<void(int slot)> loop);
    // Waits until every worker has returned from the round's loop; rethrows
    // the exception of the lowest slot whose loop threw.
    void wait();

    // work(i, slot) for every i in [0, n), on the workers and the caller
    // (slot 0); two calls running at once never share a slot, so per-slot
    // state needs no lock. Indices are handed out in increasing order.
    // Returns when all are done. When work throws, no further index starts,
    // and the exception of the lowest index that threw is rethrown (the one
    // a run on one thread would throw).
    template <typename Work>
    void parallelFor(size_t n, const Work& work);

private:
    void serve(int slot);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void(int)> loop_;
    uint64_t round_ = 0;
    int running_ = 0;  // workers still in the round's loop
    int failedSlot_ = 0; // the lowest slot whose loop threw, with its exception
    std::exception_ptr failure_;
    bool quitting_ = false;
    std::vector<std::thread> threads_;
};

template <typename Work>
void ThreadPool::parallelFor(size_t n, const Work& work)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex failureMutex;
    size_t failedIndex = n;
    std::exception_ptr failure;
    auto claim = [&](int slot) {
        while (!failed.load(std::memory_order_relaxed)) {
            const size_t i = next.fetch_add(1);
            if (i >= n)
                return;
            try {
                work(i, slot);
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (i < failedIndex) {
                    failedIndex = i;
                    failure = std::current_exception();
                }
                failed = true;
            }
        }
    };
    if (n > 1 && workers() > 0) {
        start(claim);
        claim(0);
        wait(); // claim catches everything: nothing comes back from the workers
    } else {
        claim(0);
    }
    if (failure)
        std::rethrow_exception(failure);
}
