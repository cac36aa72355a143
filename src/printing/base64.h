// The raster's Base64: the standard alphabet, "=" ends the text wherever it stands, line
// feed, carriage return and space are skipped, padding is optional.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace sv::printing {

inline constexpr std::string_view kBase64Invalid = "位图数据 Base64 解码失败";
inline constexpr std::string_view kBase64BadLength = "位图数据 Base64 长度不合法";

// Decodes Base64 text that arrives in pieces, exactly as decode_bitmap_b64_into decodes the
// whole: feeding "QU" then "JD" gives what feeding "QUJD" gives.
class Base64Decoder {
 public:
  // Where decoded bytes go: out[0, capacity); bytes past the capacity are counted, not
  // written. May be changed between pieces (a buffer that grew) as long as the bytes decoded
  // so far stay at its start.
  void set_output(char* out, std::size_t capacity);
  // The next piece of the text. After "=" or a fault the rest is never looked at.
  void feed(std::string_view piece);
  // Decodes the piece's leading run of alphabet characters and returns its length; stops
  // before anything else ("=", skipped bytes, faults), which only feed() may judge. Returns 0
  // once the text has ended.
  std::size_t feed_alphabet(std::string_view piece);
  // After the last piece: the full decoded length, or the first fault's message.
  Result<std::size_t> finish();
  // Bytes decoded so far (written or counted).
  std::size_t decoded() const { return total_; }
  bool failed() const { return !fault_.empty(); }

 private:
  void put(std::uint32_t byte);
  void put3(std::uint32_t bits);

  char* out_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t total_ = 0;
  std::uint32_t bits_ = 0;
  int pending_ = 0;  // characters of the unfinished group
  bool stopped_ = false;
  std::string_view fault_;
};

// Decodes `text` into `out`, writing at most `capacity` bytes, and returns the full decoded
// length, which may exceed `capacity` (the surplus is counted, not written). With capacity 0
// it only validates and measures. One pass; no allocation.
Result<std::size_t> decode_bitmap_b64_into(std::string_view text, char* out, std::size_t capacity);

// Decodes `text` into a new byte string.
Result<std::string> decode_bitmap_b64(std::string_view text);

}  // namespace sv::printing
