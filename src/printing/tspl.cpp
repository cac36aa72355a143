// TSPL job stream layout. Every line ends in "\r\n"; values are plain decimal, negative
// numbers with a leading "-", millimetres as format_mm writes them:
//
//   SIZE {width_mm} mm, {height_mm} mm
//   GAP {gap_mm} mm, 0 mm
//   DIRECTION 1
//   REFERENCE {offset_x},0      SHIFT {offset_y}   when |offset_y| <= 90
//   REFERENCE {offset_x},{offset_y}   SHIFT 0      when |offset_y| > 90
//   SET TEAR ON | SET TEAR OFF
//   DENSITY {min(density, 15)}
//   SPEED {speed clamped to 1..6}
//   CLS
//   BITMAP 0,0,{bytes per row},{height_dots},0,<raster bytes, unchanged>
//   \r\nPRINT 1,{copies clamped to 1..99}\r\n
//
// The BITMAP line has no line end of its own: the raster follows its last comma, and the
// line break before PRINT closes it. The 0 after the height selects overwrite mode.
#include "printing/tspl.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "printing/format_mm.h"

namespace sv::printing {
namespace {

// The offset rule of the printer's SHIFT command: small vertical offsets go there, larger
// ones into REFERENCE.
constexpr std::int64_t kMaxShift = 90;

constexpr std::size_t kHeadMax = kTsplHeadRoom;
constexpr std::size_t kTailMax = kTsplTailRoom;

// An append-only text in a fixed stack buffer; the sizes above bound every write.
class Line {
 public:
  Line(char* out) : begin_(out), p_(out) {}
  Line& text(std::string_view s) {
    std::memcpy(p_, s.data(), s.size());
    p_ += s.size();
    return *this;
  }
  Line& number(std::int64_t v) {
    p_ = std::to_chars(p_, p_ + 24, v).ptr;
    return *this;
  }
  Line& number(std::uint64_t v) {
    p_ = std::to_chars(p_, p_ + 24, v).ptr;
    return *this;
  }
  Line& mm(double v) {
    p_ += format_mm_to(v, p_);
    return *this;
  }
  std::size_t size() const { return static_cast<std::size_t>(p_ - begin_); }

 private:
  char* begin_;
  char* p_;
};

std::size_t write_head(const PrintRequest& r, char* out) {
  Line w(out);
  w.text("SIZE ").mm(r.width_mm).text(" mm, ").mm(r.height_mm).text(" mm\r\n");
  w.text("GAP ").mm(r.gap_mm).text(" mm, 0 mm\r\n");
  w.text("DIRECTION 1\r\n");
  const std::int64_t x = r.offset_x_dots;
  const std::int64_t y = r.offset_y_dots;
  if (std::abs(y) <= kMaxShift) {
    w.text("REFERENCE ").number(x).text(",0\r\nSHIFT ").number(y).text("\r\n");
  } else {
    w.text("REFERENCE ").number(x).text(",").number(y).text("\r\nSHIFT 0\r\n");
  }
  w.text(r.tear ? "SET TEAR ON\r\n" : "SET TEAR OFF\r\n");
  const std::uint64_t density = std::min<std::uint64_t>(r.density, 15);
  const std::uint64_t speed = std::clamp<std::uint64_t>(r.speed, 1, 6);
  w.text("DENSITY ").number(density).text("\r\n");
  w.text("SPEED ").number(speed).text("\r\n");
  w.text("CLS\r\n");
  w.text("BITMAP 0,0,").number(tspl_bytes_per_row(r.width_dots)).text(",");
  w.number(std::uint64_t{r.height_dots}).text(",0,");
  return w.size();
}

std::size_t write_tail(const PrintRequest& r, char* out) {
  const std::uint64_t copies = std::clamp<std::uint64_t>(r.copies, 1, 99);
  Line w(out);
  w.text("\r\nPRINT 1,").number(copies).text("\r\n");
  return w.size();
}

}  // namespace

std::uint64_t tspl_bytes_per_row(std::uint32_t width_dots) {
  return (std::uint64_t{width_dots} + 7) / 8;
}

std::uint64_t tspl_raster_length(std::uint32_t width_dots, std::uint32_t height_dots) {
  return tspl_bytes_per_row(width_dots) * height_dots;
}

TsplStream start_tspl_stream(const PrintRequest& settings, std::size_t raster_size) {
  char head[kHeadMax];
  char tail[kTailMax];
  const std::size_t head_size = write_head(settings, head);
  const std::size_t tail_size = write_tail(settings, tail);

  TsplStream s;
  s.size_ = head_size + raster_size + tail_size;
  s.raster_offset_ = head_size;
  s.raster_size_ = raster_size;
  // Left uninitialised: the raster region is written by the caller, once.
  s.data_ = std::make_unique_for_overwrite<char[]>(s.size_);
  std::memcpy(s.data_.get(), head, head_size);
  std::memcpy(s.data_.get() + head_size + raster_size, tail, tail_size);
  return s;
}

std::string_view frame_tspl_raster(const PrintRequest& settings, char* raster,
                                   std::size_t raster_size) {
  char head[kHeadMax];
  const std::size_t head_size = write_head(settings, head);
  char* const begin = raster - head_size;
  std::memcpy(begin, head, head_size);
  const std::size_t tail_size = write_tail(settings, raster + raster_size);
  return {begin, head_size + raster_size + tail_size};
}

TsplStream build_tspl_stream(const PrintRequest& settings, std::string_view raster) {
  TsplStream s = start_tspl_stream(settings, raster.size());
  if (!raster.empty()) std::memcpy(s.raster(), raster.data(), raster.size());
  return s;
}

}  // namespace sv::printing
