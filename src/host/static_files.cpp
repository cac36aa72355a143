#include "host/static_files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "host/embedded_files.h"
#include "host/reply.h"
#include "platform/executable_path.h"
#include "platform/path_text.h"

namespace sv::host {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kIndexName = "index.html";
constexpr std::size_t kDownloadChunk = 8192;

// The index page names the hashed assets, so it must never be cached; the assets themselves
// change name whenever their content changes and can be kept for a year.
std::string_view cache_policy_for(std::string_view name) {
  return name == kIndexName ? "no-store" : "public, max-age=31536000, immutable";
}

Status write_not_found(platform::Socket& connection) {
  return write_text_reply(connection, 404, "not found", "*");
}

// True when `root`'s components are the leading components of `path`. Comparing text
// prefixes instead would let "/srv/dist-old" pass for the root "/srv/dist".
bool lies_within(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p) {
    // A trailing separator shows up as an empty last component; it constrains nothing.
    if (r->empty() && std::next(r) == root.end()) break;
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

Result<std::string> read_whole_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot open file"};
  std::string bytes;
  std::array<char, 65536> buffer;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    bytes.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return Error{"cannot read file"};
  return bytes;
}

// The Windows program is offered as "Sorvendale.exe"; any other program is offered as what it
// is, under its own file name, so that a Linux build is never saved as an ".exe". Only plain
// name characters are kept, as the name goes into a quoted header value.
std::string download_name(const fs::path& exe) {
  if (platform::is_windows_executable()) return "Sorvendale.exe";
  std::string name;
  for (char c : exe.filename().string()) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_' || c == '+';
    if (plain) name += c;
  }
  const bool only_dots = name.find_first_not_of('.') == std::string::npos;
  return only_dots ? "sorvendale" : name;
}

Status serve_self_download(platform::Socket& connection, bool head_only) {
  const std::optional<fs::path> exe = platform::executable_path();
  if (!exe) return Error{"cannot find the executable"};
  std::ifstream in(*exe, std::ios::binary);
  if (!in) return Error{"cannot open the executable"};
  // The size of the opened file, not a second look-up by name that could see a newer one.
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || !in) return Error{"cannot size the executable"};

  const HeaderLine type[] = {{"Content-Type", platform::is_windows_executable()
                                                  ? "application/vnd.microsoft.portable-executable"
                                                  : "application/octet-stream"}};
  const std::string disposition = "attachment; filename=\"" + download_name(*exe) + "\"";
  const HeaderLine save_as[] = {{"Content-Disposition", disposition},
                                {"Cache-Control", "no-store"}};
  if (Status written =
          write_head(connection, 200, "OK", {.leading = type, .before_nosniff = save_as},
                     static_cast<std::uint64_t>(size));
      !written) {
    return written;
  }
  if (head_only) return Status::Ok();

  // Streamed so that concurrent downloads of a large program cost only a buffer each.
  std::array<char, kDownloadChunk> buffer;
  std::streamoff left = size;
  while (left > 0) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) return Error{"the executable ended early"};
    // Never send more than announced, even if the file grew meanwhile.
    const std::size_t count = static_cast<std::size_t>(std::min<std::streamoff>(got, left));
    if (Status written = connection.write_all(std::string_view(buffer.data(), count)); !written) {
      return written;
    }
    left -= static_cast<std::streamoff>(count);
  }
  return Status::Ok();
}

Status write_asset_reply(platform::Socket& connection, std::string_view name,
                         std::span<const unsigned char> bytes, bool head_only) {
  const HeaderLine type[] = {{"Content-Type", content_type_for(name)}};
  const HeaderLine cache[] = {{"Cache-Control", cache_policy_for(name)}};
  // The designer's files may be read by any page; only the API is fenced by origin.
  static constexpr HeaderLine kShared[] = {{"Access-Control-Allow-Origin", "*"}};
  if (Status written = write_head(
          connection, 200, "OK",
          {.leading = type, .before_nosniff = cache, .before_close = kShared}, bytes.size());
      !written) {
    return written;
  }
  if (head_only || bytes.empty()) return Status::Ok();
  return connection.write_all(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

std::string_view content_type_for(std::string_view name) {
  const std::size_t separator = name.find_last_of("/\\");
  const std::string_view last =
      separator == std::string_view::npos ? name : name.substr(separator + 1);
  const std::size_t dot = last.rfind('.');
  // A leading dot marks a hidden file (".htaccess"), not an extension.
  if (dot == std::string_view::npos || dot == 0) return "application/octet-stream";
  const std::string_view ext = last.substr(dot + 1);

  struct Mapping {
    std::string_view extension;
    std::string_view type;
  };
  static constexpr Mapping kTypes[] = {
      {"html", "text/html; charset=utf-8"},
      {"js", "text/javascript; charset=utf-8"},
      {"mjs", "text/javascript; charset=utf-8"},
      {"css", "text/css; charset=utf-8"},
      {"json", "application/json"},
      {"map", "application/json"},
      {"png", "image/png"},
      {"jpg", "image/jpeg"},
      {"jpeg", "image/jpeg"},
      {"svg", "image/svg+xml"},
      {"ico", "image/x-icon"},
      {"woff", "font/woff"},
      {"woff2", "font/woff2"},
      {"wasm", "application/wasm"},
  };
  for (const Mapping& mapping : kTypes) {
    if (mapping.extension == ext) return mapping.type;
  }
  return "application/octet-stream";
}

Status serve_static(platform::Socket& connection, std::string_view path, bool head_only,
                    const std::optional<fs::path>& frontend_dir) {
  std::string_view name = path;
  if (path == "/") {
    name = kIndexName;
  } else {
    const std::size_t first = name.find_first_not_of('/');
    name.remove_prefix(first == std::string_view::npos ? name.size() : first);
  }

  // The download works in both modes and wins over any file of that name.
  if (name == "Sorvendale.exe" || name == "download/Sorvendale.exe") {
    return serve_self_download(connection, head_only);
  }
  if (frontend_dir) return serve_from_dir(connection, *frontend_dir, name, head_only);

  const EmbeddedFile* file = find_embedded_file(name);
  if (file == nullptr) return write_not_found(connection);
  return write_asset_reply(connection, file->name, file->bytes, head_only);
}

Status serve_from_dir(platform::Socket& connection, const fs::path& frontend_dir,
                      std::string_view name, bool head_only) {
  std::error_code error;
  fs::path root = fs::canonical(frontend_dir, error);
  if (error) root = frontend_dir;

  // operator/ lets an absolute name replace the root; the containment test below refuses it.
  const fs::path target = fs::canonical(root / platform::path_from_utf8(name), error);
  if (error) return write_not_found(connection);
  if (!lies_within(target, root)) return write_not_found(connection);
  if (!fs::is_regular_file(target, error) || error) return write_not_found(connection);

  Result<std::string> bytes = read_whole_file(target);
  if (!bytes) return Error{bytes.error()};
  const std::string& data = bytes.value();
  return write_asset_reply(
      connection, name, std::span(reinterpret_cast<const unsigned char*>(data.data()), data.size()),
      head_only);
}

}  // namespace sv::host
