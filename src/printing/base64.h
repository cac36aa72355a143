// The raster's Base64: the standard alphabet, "=" ends the text wherever it stands, line
// feed, carriage return and space are skipped, padding is optional.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace sv::printing {

inline constexpr std::string_view kBase64Invalid = "位图数据 Base64 解码失败";
inline constexpr std::string_view kBase64BadLength = "位图数据 Base64 长度不合法";

// Decodes `text` into `out`, writing at most `capacity` bytes, and returns the full decoded
// length, which may exceed `capacity` (the surplus is counted, not written). With capacity 0
// it only validates and measures. One pass; no allocation.
Result<std::size_t> decode_bitmap_b64_into(std::string_view text, char* out, std::size_t capacity);

// Decodes `text` into a new byte string.
Result<std::string> decode_bitmap_b64(std::string_view text);

}  // namespace sv::printing
