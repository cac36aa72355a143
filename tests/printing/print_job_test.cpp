#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "printing/api_json.h"
#include "printing/body_fixture.h"
#include "printing/format_mm.h"
#include "printing/print_job.h"
#include "printing/tspl.h"
#include "support/recording_spooler.h"

namespace sv::printing {
namespace {

using test::RecordingSpooler;

// The raster of the 40 x 30 mm example, 320 x 240 dots: 40 bytes per row.
std::string example_raster() {
  std::string raster(9600, '\0');
  for (std::size_t i = 0; i < raster.size(); ++i) raster[i] = static_cast<char>(i * 7 + i / 40);
  return raster;
}

std::string base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = v << 8 | (k < n ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(v >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

PrintRequest example_request() {
  PrintRequest r;
  r.printer = "ZEKO Z1";
  r.width_mm = 40;
  r.height_mm = 30;
  r.gap_mm = 2;
  r.width_dots = 320;
  r.height_dots = 240;
  r.density = 8;
  r.speed = 4;
  r.copies = 1;
  r.tear = false;
  r.data_b64_storage = base64(example_raster());
  return r;
}

// A 9 x 2 dot request: 2 bytes per row, 4 raster bytes "ABCD".
PrintRequest small_request() {
  PrintRequest r = example_request();
  r.width_dots = 9;
  r.height_dots = 2;
  r.data_b64_storage = "QUJDRA==";
  return r;
}

// The stream's lines before BITMAP, each without its "\r\n".
std::vector<std::string> head_lines(std::string_view stream) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = stream.find("\r\n", start);
    const std::string line(stream.substr(start, end - start));
    if (line.rfind("BITMAP", 0) == 0 || end == std::string_view::npos) break;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

std::string stream_of(const PrintRequest& r) {
  RecordingSpooler spooler;
  auto reply = run_print_job(r, spooler);
  EXPECT_TRUE(reply) << (reply ? "" : reply.error());
  if (!reply || spooler.submitted.size() != 1) return "";
  EXPECT_EQ(reply.value().bytes, spooler.submitted[0].stream.size());
  return spooler.submitted[0].stream;
}

std::string job_error(const PrintRequest& r) {
  RecordingSpooler spooler;
  auto reply = run_print_job(r, spooler);
  EXPECT_TRUE(spooler.submitted.empty());
  return reply ? std::string("<printed>") : reply.error();
}

TEST(PrintJob, ExampleStreamByteForByte) {
  const std::string expected = std::string(
                                   "SIZE 40 mm, 30 mm\r\n"
                                   "GAP 2 mm, 0 mm\r\n"
                                   "DIRECTION 1\r\n"
                                   "REFERENCE 0,0\r\n"
                                   "SHIFT 0\r\n"
                                   "SET TEAR OFF\r\n"
                                   "DENSITY 8\r\n"
                                   "SPEED 4\r\n"
                                   "CLS\r\n"
                                   "BITMAP 0,0,40,240,0,") +
                               example_raster() + "\r\nPRINT 1,1\r\n";
  ASSERT_EQ(expected.size(), 9744u);

  RecordingSpooler spooler;
  auto reply = run_print_job(example_request(), spooler);
  ASSERT_TRUE(reply) << reply.error();
  EXPECT_EQ(reply.value().bytes, 9744u);
  EXPECT_EQ(reply.value().printer, "ZEKO Z1");
  ASSERT_EQ(spooler.submitted.size(), 1u);
  EXPECT_EQ(spooler.submitted[0].printer, "ZEKO Z1");
  EXPECT_TRUE(spooler.submitted[0].stream == expected);
  EXPECT_TRUE(spooler.written == expected);
  EXPECT_TRUE(build_tspl_stream(example_request(), example_raster()).bytes() == expected);
}

TEST(PrintJob, DryRunChecksEverythingAndSendsNothing) {
  PrintRequest r = example_request();
  r.dry_run = true;
  RecordingSpooler spooler;
  auto reply = run_print_job(r, spooler);
  ASSERT_TRUE(reply) << reply.error();
  EXPECT_EQ(reply.value().bytes, 9744u);
  EXPECT_TRUE(spooler.submitted.empty());
  EXPECT_TRUE(spooler.calls.empty());

  r.printer = " \t ";
  EXPECT_EQ(job_error(r), "没有选择打印机");
  r.printer = "P";
  r.height_dots = 239;
  EXPECT_EQ(job_error(r), "位图长度不对：收到 9600 字节，应为 9560（320×239）");
}

TEST(PrintJob, PrinterIsUsedUntrimmed) {
  PrintRequest r = small_request();
  r.printer = "  ZEKO Z1\t";
  RecordingSpooler spooler;
  auto reply = run_print_job(r, spooler);
  ASSERT_TRUE(reply) << reply.error();
  ASSERT_EQ(spooler.submitted.size(), 1u);
  EXPECT_EQ(spooler.submitted[0].printer, "  ZEKO Z1\t");
  EXPECT_EQ(reply.value().printer, "  ZEKO Z1\t");
}

TEST(PrintJob, ValidationOrder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* what;
    void (*change)(PrintRequest&);
    std::string message;
  };
  // Each case breaks everything a later check looks at as well, so the first fault must win.
  const Case cases[] = {
      {"blank printer before bad raster",
       [](PrintRequest& r) {
         r.printer = " \t\u3000\u3000 ";
         r.data_b64_storage = "QU\tJD";
         r.width_dots = 0;
       },
       "没有选择打印机"},
      {"empty printer", [](PrintRequest& r) { r.printer.clear(); }, "没有选择打印机"},
      {"bad raster byte before zero dots",
       [](PrintRequest& r) {
         r.data_b64_storage = "QUJD-";
         r.width_dots = 0;
         r.width_mm = -1;
       },
       "位图数据 Base64 解码失败"},
      {"bad raster length before zero dots",
       [](PrintRequest& r) {
         r.data_b64_storage = "QUJDR";
         r.height_dots = 0;
       },
       "位图数据 Base64 长度不合法"},
      {"zero dots before physical size",
       [](PrintRequest& r) {
         r.height_dots = 0;
         r.width_mm = 0;
         r.gap_mm = -1;
       },
       "标签尺寸不能为 0"},
      {"zero width", [](PrintRequest& r) { r.width_dots = 0; }, "标签尺寸不能为 0"},
      {"physical size before gap",
       [](PrintRequest& r) {
         r.height_mm = -0.0;
         r.gap_mm = -1;
       },
       "标签的物理尺寸不合法"},
      {"gap before raster length",
       [](PrintRequest& r) {
         r.gap_mm = -0.01;
         r.data_b64_storage = "";
       },
       "列间距不合法"},
      {"raster length", [](PrintRequest& r) { r.data_b64_storage = "QUJD"; },
       "位图长度不对：收到 3 字节，应为 4（9×2）"},
      {"raster too long", [](PrintRequest& r) { r.data_b64_storage = "QUJDREU="; },
       "位图长度不对：收到 5 字节，应为 4（9×2）"},
      {"empty raster", [](PrintRequest& r) { r.data_b64_storage.clear(); },
       "位图长度不对：收到 0 字节，应为 4（9×2）"},
  };
  for (const Case& c : cases) {
    PrintRequest r = small_request();
    c.change(r);
    EXPECT_EQ(job_error(r), c.message) << c.what;
  }
  for (double bad : {0.0, -0.0, -1.0, nan, inf, -inf}) {
    PrintRequest r = small_request();
    r.width_mm = bad;
    EXPECT_EQ(job_error(r), "标签的物理尺寸不合法") << bad;
    r = small_request();
    r.height_mm = bad;
    EXPECT_EQ(job_error(r), "标签的物理尺寸不合法") << bad;
  }
  for (double bad : {-0.01, nan, inf, -inf}) {
    PrintRequest r = small_request();
    r.gap_mm = bad;
    EXPECT_EQ(job_error(r), "列间距不合法") << bad;
  }
}

TEST(PrintJob, HugeDotCountsFailTheLengthCheck) {
  PrintRequest r = small_request();
  r.width_dots = 4294967295u;
  r.height_dots = 4294967295u;
  EXPECT_EQ(job_error(r),
            "位图长度不对：收到 4 字节，应为 2305843008676823040（4294967295×4294967295）");
}

TEST(PrintJob, SpoolerFailuresPassThrough) {
  RecordingSpooler spooler;
  spooler.fail_at = RecordingSpooler::Step::start_page;
  auto reply = run_print_job(small_request(), spooler);
  ASSERT_FALSE(reply);
  EXPECT_EQ(reply.error(), "StartPagePrinter 失败：拒绝访问。 (os error 5)");
  EXPECT_EQ(spooler.calls, (std::vector<std::string>{"open_printer", "start_document", "start_page",
                                                     "end_document", "close_printer"}));

  RecordingSpooler closed;
  closed.fail_at = RecordingSpooler::Step::open_printer;
  auto refused = run_print_job(small_request(), closed);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "打不开打印机「ZEKO Z1」：拒绝访问。 (os error 5)");
}

TEST(PrintTspl, OffsetLines) {
  struct Case {
    std::int32_t x, y;
    std::string reference, shift;
  };
  const Case cases[] = {
      {0, 0, "REFERENCE 0,0", "SHIFT 0"},
      {12, 90, "REFERENCE 12,0", "SHIFT 90"},
      {12, -90, "REFERENCE 12,0", "SHIFT -90"},
      {-5, 91, "REFERENCE -5,91", "SHIFT 0"},
      {-5, -91, "REFERENCE -5,-91", "SHIFT 0"},
      {0, 1, "REFERENCE 0,0", "SHIFT 1"},
      {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::min(),
       "REFERENCE -2147483648,-2147483648", "SHIFT 0"},
      {2147483647, 2147483647, "REFERENCE 2147483647,2147483647", "SHIFT 0"},
  };
  for (const Case& c : cases) {
    PrintRequest r = small_request();
    r.offset_x_dots = c.x;
    r.offset_y_dots = c.y;
    const auto lines = head_lines(stream_of(r));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[3], c.reference) << c.x << "," << c.y;
    EXPECT_EQ(lines[4], c.shift) << c.x << "," << c.y;
  }
}

TEST(PrintTspl, ClampedSettings) {
  struct Case {
    std::uint8_t density, speed;
    std::uint32_t copies;
    bool tear;
    std::string density_line, speed_line, print_line, tear_line;
  };
  const Case cases[] = {
      {0, 0, 0, true, "DENSITY 0", "SPEED 1", "PRINT 1,1", "SET TEAR ON"},
      {15, 1, 1, false, "DENSITY 15", "SPEED 1", "PRINT 1,1", "SET TEAR OFF"},
      {16, 6, 99, false, "DENSITY 15", "SPEED 6", "PRINT 1,99", "SET TEAR OFF"},
      {255, 7, 100, false, "DENSITY 15", "SPEED 6", "PRINT 1,99", "SET TEAR OFF"},
      {20, 255, 150, false, "DENSITY 15", "SPEED 6", "PRINT 1,99", "SET TEAR OFF"},
      {3, 2, 4294967295u, false, "DENSITY 3", "SPEED 2", "PRINT 1,99", "SET TEAR OFF"},
  };
  for (const Case& c : cases) {
    PrintRequest r = small_request();
    r.density = c.density;
    r.speed = c.speed;
    r.copies = c.copies;
    r.tear = c.tear;
    const std::string stream = stream_of(r);
    const auto lines = head_lines(stream);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[5], c.tear_line);
    EXPECT_EQ(lines[6], c.density_line);
    EXPECT_EQ(lines[7], c.speed_line);
    EXPECT_EQ(stream.substr(stream.size() - c.print_line.size() - 2), c.print_line + "\r\n");
  }
}

TEST(PrintTspl, MillimetreLinesAndBitmapHeader) {
  PrintRequest r = small_request();
  r.width_mm = 0.004;
  r.height_mm = 62.5;
  r.gap_mm = -0.0;
  const std::string stream = stream_of(r);
  const auto lines = head_lines(stream);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "SIZE 0 mm, 62.5 mm");
  EXPECT_EQ(lines[1], "GAP 0 mm, 0 mm");
  EXPECT_EQ(stream.substr(stream.find("BITMAP")), "BITMAP 0,0,2,2,0,ABCD\r\nPRINT 1,1\r\n");
}

TEST(PrintTspl, RasterLength) {
  EXPECT_EQ(tspl_bytes_per_row(1), 1u);
  EXPECT_EQ(tspl_bytes_per_row(8), 1u);
  EXPECT_EQ(tspl_bytes_per_row(9), 2u);
  EXPECT_EQ(tspl_bytes_per_row(4294967295u), 536870912u);
  EXPECT_EQ(tspl_raster_length(9, 2), 4u);
  EXPECT_EQ(tspl_raster_length(320, 240), 9600u);
}

TEST(PrintFormatMm, Values) {
  struct Case {
    double value;
    std::string text;
  };
  const Case cases[] = {
      {40.0, "40"},
      {40.5, "40.5"},
      {100.999, "101"},
      {0.004, "0"},
      {62.5, "62.5"},
      {0.1 + 0.2, "0.3"},
      {40.125, "40.12"},  // exact tie: to even
      {40.375, "40.38"},  // exact tie: to even
      {2.675, "2.67"},    // the double lies below the tie
      {0.005, "0.01"},    // the double lies above the tie
      {0.125, "0.12"},
      {-0.0, "0"},
      {-0.004, "0"},
      {-1.5, "-1.5"},
      {-40.126, "-40.13"},
      {1e21, "1000000000000000000000"},
      {std::numeric_limits<double>::quiet_NaN(), "0"},
      {std::numeric_limits<double>::infinity(), "0"},
      {-std::numeric_limits<double>::infinity(), "0"},
      {std::numeric_limits<double>::denorm_min(), "0"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_mm(c.value), c.text) << c.value;
  const std::string largest = format_mm(std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 309u);
  EXPECT_EQ(largest.substr(0, 6), "179769");
  EXPECT_EQ(format_mm(-std::numeric_limits<double>::max()).size(), 310u);
}

TEST(PrintTspl, LargestMillimetreValuesFit) {
  PrintRequest r = small_request();
  r.width_mm = r.height_mm = r.gap_mm = std::numeric_limits<double>::max();
  const auto lines = head_lines(stream_of(r));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0].size(), 5u + 309u + 5u + 309u + 3u);
}

// Decoding errors answer 400 before the job runs; a body that decodes but fails a check
// reaches the job, whose message answers 500.
TEST(PrintJobSplit, DecodeFaultsVersusJobFaults) {
  using testing::body_with;
  struct Case {
    std::string body;
    bool decodes;
    std::string job_message;
  };
  const Case cases[] = {
      {body_with("copies", "1.0"), false, ""},
      {body_with("density", "256"), false, ""},
      {testing::body_without({"tear"}), false, ""},
      {body_with("width_dots", "0"), true, "标签尺寸不能为 0"},
      {body_with("printer", R"("   ")"), true, "没有选择打印机"},
      {body_with("data_b64", R"("QU-D")"), true, "位图数据 Base64 解码失败"},
      {body_with("gap_mm", "-1"), true, "列间距不合法"},
      {body_with("density", "20"), true, ""},
  };
  for (const Case& c : cases) {
    auto decoded = decode_print_body(c.body);
    ASSERT_EQ(static_cast<bool>(decoded), c.decodes) << c.body;
    if (!decoded) continue;
    RecordingSpooler spooler;
    auto reply = run_print_job(std::move(decoded).value(), spooler);
    EXPECT_EQ(reply ? std::string() : reply.error(), c.job_message) << c.body;
  }
}

TEST(PrintJobSplit, DecodedBodyPrintsItsRaster) {
  // The body's raster is still readable after the request was moved into the job.
  auto decoded = decode_print_body(testing::body_with("data_b64", R"("QU\u0049=")"));
  ASSERT_TRUE(decoded);
  PrintRequest r = std::move(decoded).value();
  r.dry_run = false;
  const std::string stream = stream_of(r);
  EXPECT_EQ(stream.substr(stream.find("BITMAP")), "BITMAP 0,0,1,2,0,AB\r\nPRINT 1,1\r\n");
}

}  // namespace
}  // namespace sv::printing
