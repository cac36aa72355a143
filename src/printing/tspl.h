// The TSPL job stream of one print row. Pure: builds bytes, never does I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "printing/api_types.h"

namespace sv::printing {

// Enough for the pieces before the raster (two lines of 320-character millimetre values plus
// the fixed lines) and for the pieces after it.
inline constexpr std::size_t kTsplHeadRoom = 1280;
inline constexpr std::size_t kTsplTailRoom = 32;

// (width_dots + 7) div 8: every raster row is padded to whole bytes.
std::uint64_t tspl_bytes_per_row(std::uint32_t width_dots);
// Bytes per row times height_dots, the raster length the BITMAP line announces.
std::uint64_t tspl_raster_length(std::uint32_t width_dots, std::uint32_t height_dots);

// One job stream, allocated once at its exact final length. Move-only.
class TsplStream {
 public:
  std::string_view bytes() const { return {data_.get(), size_}; }
  // The raster's place inside the stream: raster_size() bytes the caller fills in.
  char* raster() { return data_.get() + raster_offset_; }
  std::size_t raster_size() const { return raster_size_; }

 private:
  friend TsplStream start_tspl_stream(const PrintRequest&, std::size_t);
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t raster_offset_ = 0;
  std::size_t raster_size_ = 0;
};

// Writes every piece around a raster of `raster_size` bytes, taking the sizes, gap, offsets,
// density, speed, copies and tear mode from `settings` (printer and data_b64 are not read).
// The raster bytes are left for the caller to write through raster(), so a decoder can put
// them straight into place. BITMAP announces height_dots rows of bytes-per-row bytes;
// the caller makes raster_size match.
TsplStream start_tspl_stream(const PrintRequest& settings, std::size_t raster_size);

// Frames a raster that already stands in its final place: writes the pieces before it so
// that they end right at `raster` (kTsplHeadRoom writable bytes before it) and the pieces
// after its raster_size bytes (kTsplTailRoom writable bytes). Returns the whole stream.
std::string_view frame_tspl_raster(const PrintRequest& settings, char* raster,
                                   std::size_t raster_size);

// The whole stream with `raster` copied in.
TsplStream build_tspl_stream(const PrintRequest& settings, std::string_view raster);

}  // namespace sv::printing
