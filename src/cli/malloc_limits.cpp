// M_ARENA_MAX from RLIMIT_AS.
#include "cli/malloc_limits.h"

#include <algorithm>
#include <sys/resource.h>
#include <thread>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void fitMallocToAddressLimit()
{
#ifdef __GLIBC__
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return;
    // glibc's own cap is eight arenas a core: a limit never raises it.
    const rlim_t cap = 8 * rlim_t(std::max(1u, std::thread::hardware_concurrency()));
    const rlim_t perGiB = std::clamp(limit.rlim_cur >> 30, rlim_t(1), cap);
    mallopt(M_ARENA_MAX, static_cast<int>(perGiB));
#endif
}
