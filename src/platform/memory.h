// How the process's allocator treats the large per-request buffers (bodies up to 16 MiB and
// the print stream). Implemented once per OS.
#pragma once

namespace sv::platform {

// Makes large allocations go straight to the system and back on release, so a request's
// body and stream do not stay resident in a thread's heap after the request ends. Call once,
// before any connection thread starts.
void return_large_buffers_to_system();

}  // namespace sv::platform
