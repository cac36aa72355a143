// A large body read on one thread and consumed on another: every byte once, in order, never
// two consumer calls at once, nothing read past the body, and a body cut short ends cleanly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host/body_pipeline.h"

namespace sv::host {
namespace {

// Serves `bytes` in pieces of varying size, as a socket does, then ends the stream.
class PiecewiseSource final : public ByteSource {
 public:
  explicit PiecewiseSource(std::string bytes) : bytes_(std::move(bytes)) {}
  Result<std::size_t> read_some(std::span<char> buf) override {
    step_ = step_ * 1103515245u + 12345u;
    const std::size_t piece = 1 + (step_ >> 8) % 100'000;
    const std::size_t n = std::min({buf.size(), piece, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, buf.data());
    at_ += n;
    return n;
  }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
  std::uint32_t step_ = 1;
};

std::string pattern(std::size_t size) {
  std::string s(size, '\0');
  std::uint32_t x = 7;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// Consumes into a string; flags overlapping calls and may dawdle to let the reader run ahead.
struct Collector {
  std::string got;
  std::atomic<bool> inside{false};
  bool overlapped = false;
  int calls = 0;
  bool slow = false;

  void take(std::string_view chunk) {
    if (inside.exchange(true)) overlapped = true;
    if (slow && ++calls % 5 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    got.append(chunk);
    inside = false;
  }
};

TEST(BodyPipeline, EveryByteOnceInOrderAndNothingPastTheBody) {
  constexpr std::uint64_t kFrom = kPipelineFromBytes;
  constexpr std::uint64_t kChunk = BufferedReader::kChunkBytes;
  const std::uint64_t counts[] = {0,        1, kFrom - 1, kFrom, kFrom + 1, kFrom + 7 * kChunk + 17,
                                  3 * kFrom};
  for (const std::uint64_t count : counts) {
    for (const bool slow : {false, true}) {
      const std::string body = pattern(count);
      PiecewiseSource source("HEAD\n" + body + "NEXT\n");
      BufferedReader reader(source);
      std::string line;
      ASSERT_EQ(reader.read_line(line, 100), BufferedReader::LineResult::kLine);
      Collector collector;
      collector.slow = slow;
      const Status read =
          consume_body(reader, count, [&](std::string_view c) { collector.take(c); });
      ASSERT_TRUE(read.ok()) << read.message();
      EXPECT_FALSE(collector.overlapped) << count;
      EXPECT_TRUE(collector.got == body) << count << (slow ? " slow" : "");
      ASSERT_EQ(reader.read_line(line, 100), BufferedReader::LineResult::kLine) << count;
      EXPECT_EQ(line, "NEXT\n") << count;
    }
  }
}

TEST(BodyPipeline, BodyCutShortFailsAfterHandingOverOnlyWholeChunks) {
  for (const std::uint64_t sent : {kPipelineFromBytes / 2, kPipelineFromBytes + 100'000}) {
    const std::string body = pattern(sent);
    PiecewiseSource source(body);
    BufferedReader reader(source);
    Collector collector;
    const Status read = consume_body(reader, 2 * kPipelineFromBytes,
                                     [&](std::string_view c) { collector.take(c); });
    EXPECT_FALSE(read.ok()) << sent;
    ASSERT_LE(collector.got.size(), body.size());
    EXPECT_TRUE(collector.got == body.substr(0, collector.got.size())) << sent;
  }
}

}  // namespace
}  // namespace sv::host
