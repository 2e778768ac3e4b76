// Worker loop and in-order hand-over of the results.
#include "scan_pool.h"

#include <system_error>

ScanPool::ScanPool(const AnalysisSettings& settings, int threads) : settings_(settings)
{
    for (int k = 0; k < threads; ++k) {
        try {
            workers_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            if (workers_.empty())
                throw;
            break; // the workers that did start share the chromosomes
        }
    }
}

ScanPool::~ScanPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void ScanPool::submit(IntVector positions, DoubleVector pvalues, bool valuesAreLog10)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({submitted_++, std::move(positions), std::move(pvalues), valuesAreLog10});
    }
    changed_.notify_all();
}

size_t ScanPool::inFlight() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<size_t>(submitted_ - taken_);
}

bool ScanPool::takeNext(std::vector<PeakFeatures>& peaks, bool wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait)
        changed_.wait(lock, [this] { return taken_ == submitted_ || done_.count(taken_) > 0; });
    if (failure_)
        std::rethrow_exception(failure_);
    const auto it = done_.find(taken_);
    if (it == done_.end())
        return false;
    peaks = std::move(it->second);
    done_.erase(it);
    ++taken_;
    return true;
}

void ScanPool::work()
{
    ChromosomeScan scan(settings_);
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !jobs_.empty() || closing_; });
        if (jobs_.empty())
            return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        std::vector<PeakFeatures> peaks;
        std::exception_ptr failure;
        try {
            scan.analyse(job.positions, job.pvalues, peaks, job.log10);
        } catch (...) { // out of memory: the table stops with it
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_)
            failure_ = failure;
        done_[job.sequence] = std::move(peaks);
        changed_.notify_all();
    }
}
