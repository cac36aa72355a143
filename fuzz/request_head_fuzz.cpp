// The request-head reader fed through a scripted source in three chunkings: the whole input
// in one read, one byte per read, and sizes drawn from the input itself. Every chunking must
// give the same head, the same verdict and the same bytes left for the body.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "host/buffered_reader.h"
#include "host/head_reader.h"

namespace {

using sv::Error;
using sv::Result;

using sv::host::BufferedReader;
using sv::host::RequestHead;

class ScriptedSource final : public sv::host::ByteSource {
 public:
  ScriptedSource(std::string_view bytes, std::size_t mode) : bytes_(bytes), mode_(mode) {}

  Result<std::size_t> read_some(std::span<char> buf) override {
    std::size_t n = std::min(buf.size(), bytes_.size() - pos_);
    if (mode_ == 1) n = std::min<std::size_t>(n, 1);
    if (mode_ > 1) n = std::min(n, next_size());
    std::copy_n(bytes_.data() + pos_, n, buf.data());
    pos_ += n;
    return n;
  }

 private:
  // A cheap generator seeded by the mode; sizes 1..97 cross every line boundary sooner or later.
  std::size_t next_size() {
    state_ = state_ * 6364136223846793005u + mode_;
    return 1 + static_cast<std::size_t>((state_ >> 33) % 97);
  }

  std::string_view bytes_;
  std::size_t mode_;
  std::size_t pos_ = 0;
  std::uint64_t state_ = 1;
};

struct Outcome {
  bool ok = false;
  RequestHead head;
  std::string rest;
};

Outcome read(std::string_view input, std::size_t mode) {
  ScriptedSource source(input, mode);
  BufferedReader reader(source);
  Outcome out;
  out.ok = sv::host::read_request_head(reader, out.head);
  if (!out.ok) return out;
  char byte = 0;
  while (reader.read_exact(std::span(&byte, 1)).ok()) out.rest.push_back(byte);
  return out;
}

bool same(const Outcome& a, const Outcome& b) {
  if (a.ok != b.ok) return false;
  if (!a.ok) return true;
  return a.head.method == b.head.method && a.head.target == b.head.target &&
         a.head.origin == b.head.origin && a.head.content_length == b.head.content_length &&
         a.rest == b.rest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Outcome whole = read(input, 0);
  if (whole.ok) {
    // The rest is a suffix of the input: the reader neither loses nor invents bytes.
    if (!input.ends_with(whole.rest)) __builtin_trap();
    if (whole.head.method.empty() || whole.head.target.empty()) __builtin_trap();
  }
  const std::size_t seeded = 2 + (size == 0 ? 0 : data[size - 1]);
  for (std::size_t mode : {std::size_t(1), seeded}) {
    if (!same(whole, read(input, mode))) __builtin_trap();
  }
  return 0;
}
