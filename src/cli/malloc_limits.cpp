// M_ARENA_MAX from RLIMIT_AS.
#include "malloc_limits.h"

#include <sys/resource.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void fitMallocToAddressLimit()
{
#ifdef __GLIBC__
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return;
    const rlim_t perGiB = limit.rlim_cur >> 30;
    mallopt(M_ARENA_MAX, perGiB < 1 ? 1 : perGiB > 64 ? 64 : static_cast<int>(perGiB));
#endif
}
