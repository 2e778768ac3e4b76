// Running short of address space in the figure code: the reservation probe
// under a limit and the font warm-up stopping with a reason where
// fontconfig would crash (work split over threads gives back what a part
// threw: see the thread pool's tests). The limits are set in a child
// process, relative to what it has mapped, so they hold in sanitizer
// builds too.
#include "plot/address_space.h"
#include "plot/figure_render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr size_t kMB = size_t(1) << 20;

// The process's mapped address space (VmSize), in bytes.
size_t mappedBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoull(line.substr(7)) * 1024;
    return 0;
}

// Whether check() holds in a child process that may map `room` bytes more
// than it has mapped.
bool holdsUnderLimit(size_t room, const std::function<bool()>& check)
{
    const size_t mapped = mappedBytes();
    if (mapped == 0)
        return false;
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = mapped + room;
        _exit(setrlimit(RLIMIT_AS, &limit) == 0 && check() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ResourceLimits, ProbeSeesTheRoomLeftUnderALimit)
{
    EXPECT_TRUE(holdsUnderLimit(64 * kMB, [] {
        return addressSpaceAvailable(16 * kMB) && !addressSpaceAvailable(256 * kMB) && addressSpaceAvailable(16 * kMB);
    })) << "a probe takes nothing away: the same room is there again after it";
    EXPECT_TRUE(addressSpaceAvailable(0));
}

TEST(ResourceLimits, FontWarmUpStopsWithAReasonWithoutRoomForTheFonts)
{
    EXPECT_TRUE(holdsUnderLimit(8 * kMB, [] {
        try {
            FontWarmUp fonts;
        } catch (const MemoryShortage& e) {
            return std::string(e.what()).find("fonts") != std::string::npos;
        }
        return false;
    }));
}

} // namespace
