#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sv::platform {

void return_large_buffers_to_system() {
#if defined(__GLIBC__)
  // glibc raises its mmap threshold after the first large free, after which 16 MiB buffers
  // come from per-thread heaps and stay resident; fixed thresholds keep them mapped per use.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_TRIM_THRESHOLD, 4 << 20);
#endif
}

}  // namespace sv::platform
