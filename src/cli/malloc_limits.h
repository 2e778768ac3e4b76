// The C library's allocator under an address-space limit (RLIMIT_AS:
// ulimit -v, SGE's h_vmem).
#pragma once

// Under a finite address-space limit, caps glibc's malloc arenas at one per
// GiB of the limit (at least one, at most glibc's own cap of eight a core).
// Each arena beyond the first reserves 64 MB of address space when a thread
// first allocates in it; a few of those under a limit of some hundred MB
// leave the run no room, and which thread gets one depends on timing.
// Without a limit nothing changes. Call first thing in main, before any
// thread starts.
void fitMallocToAddressLimit();
