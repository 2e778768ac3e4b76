// Address space still to be had under a limit (RLIMIT_AS: ulimit -v, SGE's
// h_vmem). Some libraries the figures use (fontconfig above all) crash
// rather than fail when an allocation is refused; the figure code asks
// first and stops with a message when the room is not there.
#pragma once
#include <cstddef>
#include <new>
#include <string>
#include <utility>

// Whether `bytes` of address space can be mapped now: a reservation of that
// size (no access, no memory behind it) made and released at once. A
// snapshot: other threads may take the room right after.
bool addressSpaceAvailable(size_t bytes);

// Running out of memory with a reason for the user, such as "not enough
// memory to load the fonts of the figures"; caught as std::bad_alloc by
// callers that know no more.
class MemoryShortage : public std::bad_alloc {
public:
    explicit MemoryShortage(std::string reason) : reason_(std::move(reason)) {}
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string reason_;
};
