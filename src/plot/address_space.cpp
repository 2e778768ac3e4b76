// The reservation probe: a private anonymous mapping without access counts
// against RLIMIT_AS in full but takes no memory and no commit charge.
#include "plot/address_space.h"

#include <sys/mman.h>

bool addressSpaceAvailable(size_t bytes)
{
    if (bytes == 0)
        return true;
    void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        return false;
    munmap(p, bytes);
    return true;
}
