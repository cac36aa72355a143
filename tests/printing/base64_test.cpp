#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "printing/base64.h"

namespace sv::printing {
namespace {

std::string encode(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                            std::uint32_t(std::uint8_t(bytes[i + 1])) << 8 |
                            std::uint8_t(bytes[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(v >> s) & 63];
  }
  if (bytes.size() - i == 1) {
    const std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (bytes.size() - i == 2) {
    const std::uint32_t v = std::uint32_t(std::uint8_t(bytes[i])) << 16 |
                            std::uint32_t(std::uint8_t(bytes[i + 1])) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

std::string pseudo_random_bytes(std::size_t n, std::uint32_t seed) {
  std::string out(n, '\0');
  for (char& c : out) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

TEST(PrintBase64, DecodesTheTable) {
  struct Case {
    std::string text, bytes;
  };
  const Case cases[] = {
      {"", ""},
      {"QQ", "A"},
      {"QQ=", "A"},
      {"QQ==", "A"},
      {"QR", "A"},  // leftover low bits need not be zero
      {"QUI", "AB"},
      {"QUJD", "ABC"},
      {"QUJDRA", "ABCD"},
      {"QUJDREU", "ABCDE"},
      {"QUJD=", "ABC"},
      {"QUJD=\t-_\xff!", "ABC"},  // nothing after "=" is looked at
      {"QU=JD", "A"},
      {"=QUJD", ""},
      {"Q\nU\r\nJ D ", "ABC"},
      {"  \r\n", ""},
      {"+/+/", "\xfb\xff\xbf"},
      {"AAAA", std::string(3, '\0')},
  };
  for (const Case& c : cases) {
    auto r = decode_bitmap_b64(c.text);
    ASSERT_TRUE(r) << c.text;
    EXPECT_EQ(r.value(), c.bytes) << c.text;
  }
}

TEST(PrintBase64, Faults) {
  struct Case {
    std::string text;
    std::string_view message;
  };
  const Case cases[] = {
      {"Q", kBase64BadLength},
      {"Q=", kBase64BadLength},
      {"QUJDR", kBase64BadLength},
      {"QUJD\nR\n", kBase64BadLength},
      {"QU\tJD", kBase64Invalid},
      {"QU-D", kBase64Invalid},
      {"QU_D", kBase64Invalid},
      {"QUJD\xc3\xa9", kBase64Invalid},
      {"QUJD\v", kBase64Invalid},
      {std::string("QU\0D", 4), kBase64Invalid},
      {"Q", kBase64BadLength},
      // A bad byte wins over a length fault found later; "=" ends before a bad byte.
      {"Q.", kBase64Invalid},
      {"QUJDR=.", kBase64BadLength},
  };
  for (const Case& c : cases) {
    auto r = decode_bitmap_b64(c.text);
    ASSERT_FALSE(r) << c.text;
    EXPECT_EQ(r.error(), c.message) << c.text;
  }
}

TEST(PrintBase64, LineBreaksAnywhereDecodeAsIfAbsent) {
  const std::string bytes = pseudo_random_bytes(3000, 7);
  const std::string plain = encode(bytes);
  std::string wrapped;
  for (std::size_t i = 0; i < plain.size(); i += 76) wrapped += plain.substr(i, 76) + "\r\n";
  std::string scattered;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    scattered += plain[i];
    if (i % 7 == 3) scattered += ' ';
    if (i % 11 == 5) scattered += '\n';
  }
  for (const std::string& text : {plain, wrapped, scattered}) {
    auto r = decode_bitmap_b64(text);
    ASSERT_TRUE(r);
    EXPECT_EQ(r.value(), bytes);
  }
}

TEST(PrintBase64, EveryLengthRoundTrips) {
  for (std::size_t n = 0; n < 70; ++n) {
    const std::string bytes = pseudo_random_bytes(n, static_cast<std::uint32_t>(n));
    std::string text = encode(bytes);
    auto padded = decode_bitmap_b64(text);
    ASSERT_TRUE(padded) << n;
    EXPECT_EQ(padded.value(), bytes) << n;
    while (!text.empty() && text.back() == '=') text.pop_back();
    auto bare = decode_bitmap_b64(text);
    ASSERT_TRUE(bare) << n;
    EXPECT_EQ(bare.value(), bytes) << n;
  }
}

TEST(PrintBase64, BoundedOutputStillMeasuresTheWhole) {
  const std::string bytes = pseudo_random_bytes(100, 3);
  const std::string text = encode(bytes);
  for (std::size_t capacity : {0u, 1u, 2u, 50u, 99u, 100u}) {
    std::string out(capacity + 4, '#');
    auto n = decode_bitmap_b64_into(text, out.data(), capacity);
    ASSERT_TRUE(n);
    EXPECT_EQ(n.value(), 100u);
    EXPECT_EQ(out.substr(0, capacity), bytes.substr(0, capacity)) << capacity;
    EXPECT_EQ(out.substr(capacity), "####") << capacity;  // nothing past the capacity
  }
  EXPECT_FALSE(decode_bitmap_b64_into("QUJDR", nullptr, 0));
}

// The block decoder takes sixteen characters at a time and hands anything else to the
// character-by-character code: a special byte at every place of a long text must come out
// as if decoded one character at a time.
TEST(PrintBase64, SpecialByteAtEveryPlaceOfALongText) {
  const std::string bytes = pseudo_random_bytes(96, 5);
  const std::string text = encode(bytes);  // 128 characters, no padding
  ASSERT_EQ(text.size(), 128u);
  for (std::size_t at = 0; at <= text.size(); ++at) {
    const std::string before = text.substr(0, at), after = text.substr(at);
    auto skipped = decode_bitmap_b64(before + "\n" + after);
    ASSERT_TRUE(skipped) << at;
    EXPECT_EQ(skipped.value(), bytes) << at;
    auto ended = decode_bitmap_b64(before + "=" + after);
    auto prefix = decode_bitmap_b64(before);
    ASSERT_EQ(ended.ok(), prefix.ok()) << at;
    if (prefix) {
      EXPECT_EQ(ended.value(), prefix.value()) << at;
    }
    auto bad = decode_bitmap_b64(before + "!" + after);
    ASSERT_FALSE(bad) << at;
    EXPECT_EQ(bad.error(), kBase64Invalid) << at;
  }
}

// Found by fuzzing: measuring without a buffer went on to offset the null output pointer
// once a skipped byte followed whole groups (undefined behaviour, caught under UBSan).
TEST(PrintBase64, MeasuringWithoutBufferAfterSkippedBytes) {
  const struct {
    std::string_view text;
    std::size_t length;
  } cases[] = {{"QUJ\nDRE\r\nF G", 6}, {"QUJD\nQUJD QQ", 7}, {"QUJD =", 3}};
  for (const auto& c : cases) {
    auto n = decode_bitmap_b64_into(c.text, nullptr, 0);
    ASSERT_TRUE(n) << c.text;
    EXPECT_EQ(n.value(), c.length) << c.text;
  }
}

}  // namespace
}  // namespace sv::printing
