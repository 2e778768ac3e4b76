// A bounded queue between one producer thread and one consumer thread: the
// producer waits while it is full, the consumer while it is empty. What the
// producer writes before finish() is visible to the consumer once pop()
// has returned false. Either side may stop the flow: the producer's push
// and the consumer's pop then return false at once.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity_(capacity) {}

    // Producer: appends item, waiting while the queue is full. False when
    // the consumer has stopped and production should end.
    bool push(T item)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return items_.size() < capacity_ || stopped_; });
        if (stopped_)
            return false;
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }

    // Producer: nothing more will come.
    void finish()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }

    // Consumer: takes the next item, waiting for one. False at the end and
    // once stopped.
    bool pop(T& item)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !items_.empty() || finished_ || stopped_; });
        if (items_.empty() || stopped_)
            return false;
        item = std::move(items_.front());
        items_.pop_front();
        changed_.notify_all();
        return true;
    }

    // No more items are wanted: a waiting producer or consumer returns.
    void stop()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }

private:
    const size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool finished_ = false, stopped_ = false;
};
