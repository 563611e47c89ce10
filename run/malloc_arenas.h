// How the program's processes (the window, sheetdump, vcfexport) set up glibc's allocator
// before anything else runs.
#pragma once

#include <malloc.h>

namespace cw::run {

// glibc gives threads that allocate at once arenas of their own, up to eight per core, each
// reserving 64 MB of address space: under an address-space limit (a sandbox's, a user's
// ulimit) those reserves, not the data, would run out, and a record would lose a line to
// "Out of memory" with memory to spare (a second arena alone reserves 64 MB, briefly 128 MB,
// at a moment that depends on which threads meet in malloc). The run's threads share one
// arena; their per-thread caches keep the allocations of the busy paths off its lock, and
// the export benchmarks take the same CPU time either way.
inline void LimitMallocArenas() { ::mallopt(M_ARENA_MAX, 1); }

}  // namespace cw::run
