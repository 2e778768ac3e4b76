// The pool's workers: each waits for the next round, runs its loop and
// reports back; the last one to finish wakes the waiting caller.
#include "base/thread_pool.h"

#include <system_error>

std::thread startThread(std::function<void()> body)
{
    return std::thread(std::move(body));
}

ThreadPool::ThreadPool(int workers, const ThreadStart& start)
{
    threads_.reserve(static_cast<size_t>(workers > 0 ? workers : 0));
    for (int slot = 1; slot <= workers; ++slot) {
        try {
            threads_.push_back(start([this, slot] { serve(slot); }));
        } catch (const std::system_error&) {
            break; // the workers that did start do the work
        }
    }
}

ThreadPool::~ThreadPool()
{
    try {
        wait();
    } catch (...) {
        // The owner has gone without asking for the round's outcome.
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void ThreadPool::start(std::function<void(int)> loop)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; }); // the round before is over
    loop_ = std::move(loop);
    running_ = workers();
    ++round_;
    changed_.notify_all();
}

void ThreadPool::wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return running_ == 0; });
    if (failure_) {
        const std::exception_ptr e = failure_;
        failure_ = nullptr;
        failedSlot_ = 0;
        std::rethrow_exception(e);
    }
}

void ThreadPool::serve(int slot)
{
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return round_ != seen || quitting_; });
        if (round_ == seen)
            return; // quitting, with no round left to run
        seen = round_;
        const std::function<void(int)>& loop = loop_; // unchanged until every worker is back
        lock.unlock();
        std::exception_ptr failure;
        try {
            loop(slot);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && (!failure_ || slot < failedSlot_)) {
            failure_ = failure;
            failedSlot_ = slot;
        }
        if (--running_ == 0)
            changed_.notify_all();
    }
}
