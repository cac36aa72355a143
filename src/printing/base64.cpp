#include "printing/base64.h"

#include <algorithm>
#include <array>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace sv::printing {
namespace {

constexpr std::uint8_t kSkip = 64;     // line feed, carriage return, space
constexpr std::uint8_t kEnd = 65;      // "="
constexpr std::uint8_t kInvalid = 66;  // everything else outside the alphabet

constexpr std::array<std::uint8_t, 256> make_table() {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kInvalid;
  constexpr std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  }
  t['\n'] = t['\r'] = t[' '] = kSkip;
  t['='] = kEnd;
  return t;
}

constexpr std::array<std::uint8_t, 256> kTable = make_table();

// The value of an alphabet character already shifted to its place in a group of four; bit
// 31 marks every other byte, so one test per group finds the end of the fast run.
constexpr std::uint32_t kNotAlphabet = 0x80000000u;
constexpr std::array<std::uint32_t, 256> make_shifted(int shift) {
  std::array<std::uint32_t, 256> t{};
  for (std::size_t c = 0; c < 256; ++c) {
    t[c] = kTable[c] < 64 ? std::uint32_t{kTable[c]} << shift : kNotAlphabet;
  }
  return t;
}
constexpr std::array<std::uint32_t, 256> kAt0 = make_shifted(18), kAt1 = make_shifted(12),
                                         kAt2 = make_shifted(6), kAt3 = make_shifted(0);

#if defined(__x86_64__)
// Sixteen characters to twelve bytes with SSSE3 (the nibble-table method of Muła and Lemire):
// false, with nothing written, when any of them is outside the alphabet ("=", skipped bytes
// and faults go to the scalar code). Writes 16 bytes at `out`, of which 12 count.
__attribute__((target("ssse3"), always_inline)) inline bool decode16(const unsigned char* in,
                                                                     char* out) {
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i high = _mm_and_si128(_mm_srli_epi32(text, 4), _mm_set1_epi8(0x0F));
  const __m128i low = _mm_and_si128(text, _mm_set1_epi8(0x0F));
  const __m128i by_low =
      _mm_shuffle_epi8(_mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                     0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A),
                       low);
  const __m128i by_high =
      _mm_shuffle_epi8(_mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                                     0x10, 0x10, 0x10, 0x10, 0x10, 0x10),
                       high);
  if (_mm_movemask_epi8(_mm_cmpgt_epi8(_mm_and_si128(by_low, by_high), _mm_setzero_si128())) != 0) {
    return false;
  }
  const __m128i slash = _mm_cmpeq_epi8(text, _mm_set1_epi8(0x2F));
  const __m128i roll =
      _mm_shuffle_epi8(_mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0),
                       _mm_add_epi8(slash, high));
  const __m128i values = _mm_add_epi8(text, roll);
  const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
  const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
  const __m128i bytes = _mm_shuffle_epi8(
      groups, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
  return true;
}

// Blocks of sixteen while they hold only alphabet characters and `room` allows the 16-byte
// store; returns the number of blocks decoded.
__attribute__((target("ssse3"))) std::size_t decode_blocks(const unsigned char* in,
                                                           std::size_t blocks, char* out) {
  std::size_t done = 0;
  while (done < blocks && decode16(in + done * 16, out + done * 12)) ++done;
  return done;
}

// The same in both 128-bit lanes of an AVX2 register: 32 characters to 24 bytes. Writes 32
// bytes at `out`, of which 24 count.
__attribute__((target("avx2"), always_inline)) inline bool decode32(const unsigned char* in,
                                                                    char* out) {
  const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
  const __m256i high = _mm256_and_si256(_mm256_srli_epi32(text, 4), _mm256_set1_epi8(0x0F));
  const __m256i low = _mm256_and_si256(text, _mm256_set1_epi8(0x0F));
  const __m256i by_low = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B,
                       0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                       0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A),
      low);
  const __m256i by_high = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10,
                       0x10, 0x10, 0x10, 0x10, 0x10, 0x10),
      high);
  if (_mm256_movemask_epi8(
          _mm256_cmpgt_epi8(_mm256_and_si256(by_low, by_high), _mm256_setzero_si256())) != 0) {
    return false;
  }
  const __m256i slash = _mm256_cmpeq_epi8(text, _mm256_set1_epi8(0x2F));
  const __m256i roll = _mm256_shuffle_epi8(
      _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4, -65,
                       -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0),
      _mm256_add_epi8(slash, high));
  const __m256i values = _mm256_add_epi8(text, roll);
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i groups = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i lanes = _mm256_shuffle_epi8(
      groups, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                               5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
  // Twelve bytes at the start of each lane: close the gap between them.
  const __m256i bytes =
      _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
  return true;
}

// As decode_blocks, 32 characters at a time; returns the number of 32-character blocks.
__attribute__((target("avx2"))) std::size_t decode_wide_blocks(const unsigned char* in,
                                                               std::size_t blocks, char* out) {
  std::size_t done = 0;
  while (done < blocks && decode32(in + done * 32, out + done * 24)) ++done;
  return done;
}

const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");
const bool kHaveAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

void Base64Decoder::set_output(char* out, std::size_t capacity) {
  out_ = out;
  capacity_ = capacity;
}

void Base64Decoder::put(std::uint32_t byte) {
  if (total_ < capacity_) out_[total_] = static_cast<char>(byte & 0xFF);
  ++total_;
}

void Base64Decoder::put3(std::uint32_t bits) {
  if (total_ + 3 <= capacity_) {
    out_[total_] = static_cast<char>(bits >> 16);
    out_[total_ + 1] = static_cast<char>((bits >> 8) & 0xFF);
    out_[total_ + 2] = static_cast<char>(bits & 0xFF);
    total_ += 3;
  } else {
    put(bits >> 16);
    put(bits >> 8);
    put(bits);
  }
}

std::size_t Base64Decoder::feed_alphabet(std::string_view text) {
  if (stopped_) return 0;
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = begin;
  const auto* const end = p + text.size();
  // Finish a group begun by the previous piece.
  while (pending_ != 0 && p < end && kTable[*p] < 64) {
    bits_ = bits_ << 6 | kTable[*p++];
    if (++pending_ == 4) {
      put3(bits_);
      bits_ = 0;
      pending_ = 0;
    }
  }
  if (pending_ != 0) return static_cast<std::size_t>(p - begin);
    // Whole groups of four alphabet characters, the bulk of any raster.
#if defined(__x86_64__)
  if (kHaveAvx2 && total_ + 32 <= capacity_) {
    // The last block's 32-byte store must stay inside the capacity.
    const std::size_t blocks = std::min<std::size_t>(static_cast<std::size_t>(end - p) / 32,
                                                     (capacity_ - total_ - 8) / 24);
    const std::size_t done = decode_wide_blocks(p, blocks, out_ + total_);
    p += done * 32;
    total_ += done * 24;
  }
  if (kHaveSsse3 && total_ + 16 <= capacity_) {
    // The last block's 16-byte store must stay inside the capacity.
    const std::size_t blocks = std::min<std::size_t>(static_cast<std::size_t>(end - p) / 16,
                                                     (capacity_ - total_ - 4) / 12);
    const std::size_t done = decode_blocks(p, blocks, out_ + total_);
    p += done * 16;
    total_ += done * 12;
  }
#endif
  // Whole groups that fit before the capacity ends.
  const std::size_t room = total_ < capacity_ ? (capacity_ - total_) / 3 : 0;
  std::size_t groups = std::min<std::size_t>(static_cast<std::size_t>(end - p) / 4, room);
  // Only with room: measuring has no buffer, and offsetting its null pointer is undefined.
  if (groups > 0) {
    char* o = out_ + total_;
    const unsigned char* const run_start = p;
    for (; groups > 0; --groups, p += 4, o += 3) {
      const std::uint32_t bits4 = kAt0[p[0]] | kAt1[p[1]] | kAt2[p[2]] | kAt3[p[3]];
      if (bits4 & kNotAlphabet) break;
      o[0] = static_cast<char>(bits4 >> 16);
      o[1] = static_cast<char>((bits4 >> 8) & 0xFF);
      o[2] = static_cast<char>(bits4 & 0xFF);
    }
    total_ += static_cast<std::size_t>(p - run_start) / 4 * 3;
  }
  while (end - p >= 4) {
    const std::uint32_t a = kTable[p[0]], b = kTable[p[1]], c = kTable[p[2]], d = kTable[p[3]];
    if ((a | b | c | d) >= 64) break;
    put3(a << 18 | b << 12 | c << 6 | d);
    p += 4;
  }
  // The last characters before the run ends, or the start of a group the next piece ends.
  while (p < end && kTable[*p] < 64) {
    bits_ = bits_ << 6 | kTable[*p++];
    ++pending_;
  }
  return static_cast<std::size_t>(p - begin);
}

void Base64Decoder::feed(std::string_view text) {
  for (;;) {
    text.remove_prefix(feed_alphabet(text));
    if (text.empty() || stopped_) return;
    const std::uint8_t v = kTable[static_cast<unsigned char>(text.front())];
    text.remove_prefix(1);
    if (v == kSkip) continue;
    stopped_ = true;  // "=" ends the text: whatever follows is never looked at
    if (v != kEnd) fault_ = kBase64Invalid;
    return;
  }
}

Result<std::size_t> Base64Decoder::finish() {
  if (!fault_.empty()) return Error{std::string(fault_)};
  switch (pending_) {
    case 1:
      return Error{std::string(kBase64BadLength)};
    case 2:
      put(bits_ >> 4);
      break;
    case 3:
      put(bits_ >> 10);
      put(bits_ >> 2);
      break;
    default:
      break;
  }
  pending_ = 0;
  return total_;
}

Result<std::size_t> decode_bitmap_b64_into(std::string_view text, char* out, std::size_t capacity) {
  Base64Decoder decoder;
  decoder.set_output(out, capacity);
  decoder.feed(text);
  return decoder.finish();
}

Result<std::string> decode_bitmap_b64(std::string_view text) {
  std::string out(text.size() / 4 * 3 + 3, '\0');
  auto n = decode_bitmap_b64_into(text, out.data(), out.size());
  if (!n) return Error{n.error()};
  out.resize(n.value());
  return out;
}

}  // namespace sv::printing
