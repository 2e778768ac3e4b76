// Work in two parts at once: part 1 on a thread of its own, part 0 on the
// caller's; where no thread can be started, both on the caller's, one after
// the other. Returns when both are done. Internal to the plot library.
#pragma once
#include <system_error>
#include <thread>

template <typename Work>
void onTwoThreads(const Work& work)
{
    std::thread helper;
    try {
        helper = std::thread([&work] { work(1); });
    } catch (const std::system_error&) {
        work(1);
    }
    work(0);
    if (helper.joinable())
        helper.join();
}
