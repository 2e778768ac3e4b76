// Work in two parts at once: part 1 on a thread of its own, part 0 on the
// caller's; where no thread can be started, both on the caller's, one after
// the other. Returns when both are done; what either part threw (such as
// std::bad_alloc) is thrown again then, part 0's first. Internal to the
// plot library.
#pragma once
#include <exception>
#include <system_error>
#include <thread>

template <typename Work>
void onTwoThreads(const Work& work)
{
    std::exception_ptr failed[2];
    const auto part = [&work, &failed](int k) {
        try {
            work(k);
        } catch (...) {
            failed[k] = std::current_exception();
        }
    };
    std::thread helper;
    try {
        helper = std::thread([&part] { part(1); });
    } catch (const std::system_error&) {
        part(1);
    }
    part(0);
    if (helper.joinable())
        helper.join();
    for (const std::exception_ptr& e : failed)
        if (e)
            std::rethrow_exception(e);
}
