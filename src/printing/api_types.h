// The records of the JSON API: the print request, one printer entry and the print reply.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sv::printing {

struct PrintRequest {
  std::string printer;
  double width_mm = 0;
  double height_mm = 0;
  std::uint32_t width_dots = 0;
  std::uint32_t height_dots = 0;
  double gap_mm = 0;
  std::uint8_t density = 0;
  std::uint8_t speed = 0;
  std::uint32_t copies = 0;
  std::int32_t offset_x_dots = 0;
  std::int32_t offset_y_dots = 0;
  bool tear = false;
  // The Base64 raster. Points into the request body when the JSON string held no escape
  // (no copy of up to 16 MiB); otherwise into data_b64_storage. The body must outlive it.
  std::string_view data_b64;
  std::string data_b64_storage;
  bool dry_run = false;
};

struct PrinterInfo {
  std::string name;
  bool is_default = false;
  bool is_zeko = false;
  std::string port;
  std::string driver;
};

struct PrintReply {
  std::uint64_t bytes = 0;
  std::uint64_t elapsed_ms = 0;
  std::string printer;
};

}  // namespace sv::printing
