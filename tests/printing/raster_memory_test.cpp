// The raster region kept between prints: reused when large enough, the larger of two kept, and
// a print into a region that still holds an earlier, larger raster frames only its own bytes.
#include <gtest/gtest.h>

#include <string>

#include "printing/api_json.h"
#include "printing/body_fixture.h"
#include "printing/print_job.h"
#include "printing/raster_memory.h"
#include "support/recording_spooler.h"

namespace sv::printing {
namespace {

TEST(RasterMemory, KeptRegionServesSmallerPrintsAndTheLargerOfTwoIsKept) {
  // Start from a known state: whatever earlier tests left is taken out and released.
  give_back_raster_memory(take_raster_memory(1 << 20));
  auto drained = take_raster_memory(1);
  drained.reset();

  auto large = take_raster_memory(1 << 20);
  ASSERT_TRUE(large);
  char* const large_at = large->data();
  give_back_raster_memory(std::move(large));

  auto small = take_raster_memory(4096);  // the kept region, though it is larger
  ASSERT_TRUE(small);
  EXPECT_EQ(small->data(), large_at);
  auto other = take_raster_memory(4096);  // none kept now: a new one
  ASSERT_TRUE(other);
  EXPECT_NE(other->data(), large_at);
  give_back_raster_memory(std::move(other));
  give_back_raster_memory(std::move(small));  // larger than the kept one: replaces it
  auto again = take_raster_memory(1 << 20);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->data(), large_at);
  give_back_raster_memory(std::move(again));
  auto too_large = take_raster_memory(2 << 20);
  ASSERT_TRUE(too_large);
  EXPECT_NE(too_large->data(), large_at);
}

std::string body_for(std::uint32_t width_dots, std::uint32_t height_dots, char fill) {
  const std::size_t raster = std::size_t{(width_dots + 7) / 8} * height_dots;
  std::string b64;
  for (std::size_t i = 0; i < raster; i += 3) b64 += std::string(1, fill) + "QUJ";
  auto members = testing::valid_members();
  for (auto& m : members) {
    if (m.key == "width_dots") m.value = std::to_string(width_dots);
    if (m.key == "height_dots") m.value = std::to_string(height_dots);
    if (m.key == "data_b64") m.value = "\"" + b64.substr(0, raster / 3 * 4) + "\"";
    if (m.key == "dry_run") m.value = "false";
  }
  return testing::body_of(members);
}

TEST(RasterMemory, PrintInARegionHoldingAnEarlierRasterSendsOnlyItsOwnBytes) {
  // 96 dots wide: 12 bytes a line, whole Base64 groups.
  for (const auto& [first, second] : {std::pair{body_for(96, 400, 'Q'), body_for(96, 40, 'A')},
                                      std::pair{body_for(96, 40, 'g'), body_for(96, 400, '/')}}) {
    for (const std::string& body : {first, second}) {
      PrintBodyStream stream(body.size());
      for (std::size_t at = 0; at < body.size(); at += 1000) {
        stream.feed(std::string_view(body).substr(at, 1000));
      }
      auto decoded = stream.finish();
      ASSERT_TRUE(decoded) << decoded.error();
      test::RecordingSpooler streamed, whole;
      ASSERT_TRUE(run_streamed_print_job(std::move(decoded).value(), streamed));
      ASSERT_TRUE(run_print_job(decode_print_body(body).value(), whole));
      ASSERT_EQ(streamed.submitted.size(), 1u);
      EXPECT_TRUE(streamed.submitted[0].stream == whole.submitted[0].stream);
    }
  }
}

}  // namespace
}  // namespace sv::printing
