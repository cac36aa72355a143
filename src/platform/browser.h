// Opens the user's default browser at a URL. Implemented once per OS.
#pragma once

#include <string_view>

namespace sv::platform {

// Starts the system's opener for `url` and returns at once: the child is never waited
// for, and a failure to start it is ignored without a message.
void launch_browser(std::string_view url);

}  // namespace sv::platform
