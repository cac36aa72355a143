// PLACEHOLDER until static serving lands: every name is unknown.
#include "host/static_files.h"

#include "host/reply.h"

namespace sv::host {

std::string_view content_type_for(std::string_view) { return "application/octet-stream"; }
Status serve_static(platform::Socket& connection, std::string_view, bool,
                    const std::optional<std::filesystem::path>&) {
  return write_text_reply(connection, 404, "not found", "*");
}
Status serve_from_dir(platform::Socket& connection, const std::filesystem::path&,
                      std::string_view, bool) {
  return write_text_reply(connection, 404, "not found", "*");
}
Status serve_self_download(platform::Socket& connection, bool) {
  return write_text_reply(connection, 404, "not found", "*");
}
Status write_asset_reply(platform::Socket& connection, std::string_view,
                         std::span<const unsigned char>, bool) {
  return write_text_reply(connection, 404, "not found", "*");
}

}  // namespace sv::host
