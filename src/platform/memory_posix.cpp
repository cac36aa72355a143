#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sv::platform {

void share_one_heap_across_threads() {
#if defined(__GLIBC__)
  // glibc gives new threads their own arenas; with a thread per connection each arena ends up
  // holding its own freed 16 MiB body. Allocations per request are few, so one lock is cheap.
  // (Fixed mmap thresholds were tried: they map fresh pages for every body, and the page
  // faults cost ten times the transfer itself.)
  mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace sv::platform
