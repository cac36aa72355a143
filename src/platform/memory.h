// How the allocator treats the large per-request buffers (bodies up to 16 MiB and the print
// stream). Implemented once per OS.
#pragma once

namespace sv::platform {

// Serves every connection thread from one heap, so the next request reuses a freed body
// instead of each thread's own heap keeping a copy resident. Call once, before any
// connection thread starts.
void share_one_heap_across_threads();

}  // namespace sv::platform
