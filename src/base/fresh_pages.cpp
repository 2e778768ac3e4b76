// Fresh pages mapped in one call (MADV_POPULATE_WRITE).
#include "base/fresh_pages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23 // Linux 5.14
#endif

void mapFreshPages(void* start, size_t bytes)
{
    if (!start || bytes == 0)
        return;
    static const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    // Every page holding a byte of the range belongs to the caller's mapping.
    const uintptr_t first = reinterpret_cast<uintptr_t>(start) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(start) + bytes;
    // Failure leaves the pages to fault in when touched.
    (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}
