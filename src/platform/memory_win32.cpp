#include "platform/memory.h"

namespace sv::platform {

// The Windows heap already hands blocks of this size to VirtualAlloc and back.
void return_large_buffers_to_system() {}

}  // namespace sv::platform
