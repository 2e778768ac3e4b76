// A one-line progress display on standard error, for long runs at a
// terminal: drawn after about two seconds, redrawn in place, cleared before
// any other message and at the end. Nothing is drawn when standard error is
// not a terminal, so logs and pipelines stay clean.
#pragma once
#include "base/thread_pool.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class ProgressLine {
public:
    // text() is called on the display thread and says how far the run is.
    ProgressLine(bool enabled, std::function<std::string()> text);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Prints messages on standard output and standard error, with the
    // progress line out of their way.
    void print(const std::string& out, const std::string& err);

private:
    void run();
    void clear(); // with the mutex held

    std::function<std::string()> text_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    size_t drawn_ = 0; // width of the line on screen
    ThreadPool display_; // the display thread, when enabled
};

// "41% of 2.3 GB read" and the like.
std::string bytesProgress(uint64_t done, uint64_t total);
