// The display thread wakes a few times a second; it draws only once the run
// has taken longer than the delay.
#include "cli/progress_line.h"

#include <cstdio>

namespace {
constexpr auto kDelay = std::chrono::seconds(2);
constexpr auto kRedraw = std::chrono::milliseconds(250);

std::string sizeText(double bytes)
{
    const char* units[] = {"B", "kB", "MB", "GB", "TB"};
    int u = 0;
    for (; bytes >= 1000 && u < 4; ++u)
        bytes /= 1000;
    char text[32];
    std::snprintf(text, sizeof text, u == 0 ? "%.0f %s" : "%.1f %s", bytes, units[u]);
    return text;
}
} // namespace

std::string bytesProgress(uint64_t done, uint64_t total)
{
    if (total == 0)
        return sizeText(static_cast<double>(done)) + " read";
    const uint64_t percent = done >= total ? 100 : done * 100 / total;
    return std::to_string(percent) + "% of " + sizeText(static_cast<double>(total)) + " read";
}

ProgressLine::ProgressLine(bool enabled, std::function<std::string()> text)
    : text_(std::move(text)), display_(enabled ? 1 : 0)
{
    if (display_.workers() > 0) // without a thread the run goes on without the display
        display_.start([this](int) { run(); });
}

ProgressLine::~ProgressLine()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    try {
        display_.wait();
    } catch (...) {
        // A display that failed (out of memory) leaves the run as it is.
    }
    std::lock_guard<std::mutex> lock(mutex_);
    clear();
}

void ProgressLine::print(const std::string& out, const std::string& err)
{
    std::lock_guard<std::mutex> lock(mutex_);
    clear();
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
    std::fputs(err.c_str(), stderr);
}

void ProgressLine::clear()
{
    if (drawn_ == 0)
        return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawn_), "");
    std::fflush(stderr);
    drawn_ = 0;
}

void ProgressLine::run()
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kRedraw, [this] { return stopping_; })) {
        if (std::chrono::steady_clock::now() - start < kDelay)
            continue;
        const std::string line = "quorlin: " + text_();
        clear();
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        drawn_ = line.size();
    }
}
