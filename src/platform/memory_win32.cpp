#include "platform/memory.h"

namespace sv::platform {

// The process heap is already shared by all threads.
void share_one_heap_across_threads() {}

}  // namespace sv::platform
