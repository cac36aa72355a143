// The print body decoded as it arrives: whatever the chunking, the same request, raster,
// fault texts and positions as the whole-body decoder, and the job's check order kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "printing/api_json.h"
#include "printing/base64.h"
#include "printing/body_fixture.h"
#include "printing/print_job.h"
#include "printing/tspl.h"
#include "support/recording_spooler.h"

namespace sv::printing {
namespace {

using testing::body_of;
using testing::body_with;
using testing::Member;
using testing::object_of;
using testing::valid_members;

Result<StreamedPrint> stream_in_chunks(std::string_view body, std::vector<std::size_t> cuts) {
  PrintBodyStream stream(body.size());
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    stream.feed(body.substr(at, cut - at));
    at = cut;
  }
  stream.feed(body.substr(at));
  return stream.finish();
}

std::string raster_of(const StreamedPrint& print) {
  return std::string(print.memory->data() + kTsplHeadRoom, print.raster.value());
}

// Bodies with a fault somewhere, each split at every byte and at every pair of bytes near
// its fault: the description and its line and column never depend on the split.
TEST(PrintBodyStream, FaultsAndPositionsDoNotDependOnChunks) {
  const std::vector<std::string> bodies = {
      "",
      "{",
      "{\"request\":",
      "{\"request\":{}}",
      "{\"request\":[]}",
      body_with("copies", "1.0"),
      body_with("density", "256"),
      body_with("width_dots", "-1"),
      body_with("width_mm", "\"40\""),
      body_with("tear", "null"),
      body_of(valid_members()) + " x",
      body_of(valid_members()) + "\n\n  }",
      "{\"request\":\n{\"printer\":\"a\",\n\"printer\":\"b\"}}",
      "{\n\"request\":{\"copies\":12345678901234567890}}",
      "{\"request\":{\"speed\":7\n\n,\"speed\":3}}",
      "{\"request\":{\"x\":tru}}",
      "{\"request\":{\"data_b64\":\"QU\\u004aD\",\"density\":1e2}}",
      // Found by fuzzing: malformed UTF-8, broken literals and escapes, each cut inside.
      "\"\xE0"
      "es",
      "{\"request\":{\"printer\":\"ab\xE6\xA0"
      "cd\"}}",
      "{\"request\":{\"x\":\"\xF0\x9F\x96\"}}",
      "t[ru",
      "{\"request\":{\"tear\":fals}}",
      "nul",
      "n\xEF\xFE\xFF",
      "{\"r\xF2"
      "a[b",
      "{\"foo\\u0\xCF\xFE\xFF"
      "00\": }",
      "{\"request\":{\"printer\":\"\\uD83D\\uDE0x\"}}",
  };
  for (const std::string& body : bodies) {
    const auto whole = decode_print_body(body);
    ASSERT_FALSE(whole) << body;
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
      const auto streamed = stream_in_chunks(body, {cut});
      ASSERT_FALSE(streamed) << body << " cut at " << cut;
      EXPECT_EQ(streamed.error(), whole.error()) << body << " cut at " << cut;
    }
    for (std::size_t cut = 1; cut + 1 <= body.size(); ++cut) {
      const auto streamed = stream_in_chunks(body, {cut - 1, cut, cut + 1});
      EXPECT_EQ(streamed.error(), whole.error()) << body << " cuts around " << cut;
    }
  }
}

TEST(PrintBodyStream, RasterDecodedPieceByPieceEqualsTheWholeDecode) {
  // Escapes, line breaks and "=" inside the Base64 text, data_b64 before the sizes.
  std::vector<Member> members = valid_members();
  members.insert(members.begin(), {"data_b64", R"("Q\u0055\nI=ignored")"});
  members.erase(members.end() - 2);  // the fixture's own data_b64
  const std::string body = body_of(members);
  for (std::size_t cut = 0; cut <= body.size(); ++cut) {
    auto streamed = stream_in_chunks(body, {cut});
    ASSERT_TRUE(streamed) << streamed.error();
    ASSERT_TRUE(streamed.value().raster);
    EXPECT_EQ(raster_of(streamed.value()), "AB") << "cut at " << cut;
    EXPECT_EQ(streamed.value().request.printer, "Zeko Z1");
    EXPECT_EQ(streamed.value().request.width_dots, 8u);
  }
}

// A Base64 text long enough for the block decoders, after line breaks, with escapes in it, and
// a fault in or after it: between chunks the plain alphabet characters bypass the JSON parser,
// yet the raster, the faults and their lines and columns stay those of the whole-body decode.
TEST(PrintBodyStream, LongBase64TextGivesTheSameResultWhateverTheChunks) {
  std::string text;
  for (int i = 0; text.size() < 400; ++i) text += "QUJDREVGR0hJSktMTU5PUFFSU1RVVldY"[i % 32];
  const auto body_around = [&](std::string_view middle, std::string_view after) {
    std::vector<Member> members = valid_members();
    for (Member& m : members) {
      if (m.key == "data_b64")
        m.value = "\"" + text.substr(0, 200) + std::string(middle) + text.substr(200) + "\"";
      if (m.key == "density") m.value = std::string(after);
    }
    std::stable_partition(members.begin(), members.end(),
                          [](const Member& m) { return m.key == "data_b64"; });
    return "{\n\n \"request\":" + object_of(members) + "}";
  };
  const std::vector<std::string> bodies = {
      body_around("\\/\\nQUJ", "8"),  // valid, escapes inside the text
      body_around("", "1e2"),         // a fault after the text: its line and column
      body_around("\x01", "8"),       // a control character inside the text
      body_around("\n", "8"),         // a raw line break inside the text
      body_around("\\u00", "8"),      // a broken escape inside the text
  };
  for (const std::string& body : bodies) {
    const auto whole = decode_print_body(body);
    for (std::size_t cut = 0; cut <= body.size(); ++cut) {
      for (const std::vector<std::size_t>& cuts :
           {std::vector<std::size_t>{cut}, std::vector<std::size_t>{cut / 3, cut}}) {
        const auto streamed = stream_in_chunks(body, cuts);
        ASSERT_EQ(streamed.ok(), whole.ok()) << body << " cut at " << cut;
        if (!whole) {
          EXPECT_EQ(streamed.error(), whole.error()) << body << " cut at " << cut;
          continue;
        }
        const auto raster = decode_bitmap_b64(data_b64_text(whole.value()));
        ASSERT_TRUE(raster);
        ASSERT_TRUE(streamed.value().raster) << cut;
        EXPECT_EQ(raster_of(streamed.value()), raster.value()) << "cut at " << cut;
      }
    }
  }
}

// The job's order: printer, Base64, sizes, length; any body fault (400) before all of them.
TEST(PrintBodyStream, JobKeepsTheCheckOrderWhateverTheMemberOrder) {
  struct Case {
    std::vector<Member> members;
    std::string message;
  };
  const auto with = [](std::vector<Member> changes, bool b64_first) {
    std::vector<Member> members = valid_members();
    for (const Member& c : changes) {
      for (Member& m : members) {
        if (m.key == c.key) m.value = c.value;
      }
    }
    if (b64_first) {
      std::stable_partition(members.begin(), members.end(),
                            [](const Member& m) { return m.key == "data_b64"; });
    }
    return members;
  };
  for (bool b64_first : {false, true}) {
    const std::vector<Case> cases = {
        {with({{"printer", R"("  ")"}, {"data_b64", R"("Q!")"}}, b64_first), "没有选择打印机"},
        {with({{"data_b64", R"("Q!")"}, {"width_dots", "0"}}, b64_first),
         std::string(kBase64Invalid)},
        {with({{"data_b64", R"("QUJDR")"}}, b64_first), std::string(kBase64BadLength)},
        {with({{"data_b64", R"("QUJD")"}, {"height_dots", "0"}}, b64_first), "标签尺寸不能为 0"},
        {with({{"data_b64", R"("QUJD")"}}, b64_first), "位图长度不对：收到 3 字节，应为 2（8×2）"},
    };
    for (const Case& c : cases) {
      const std::string body = body_of(c.members);
      PrintBodyStream stream(body.size());
      stream.feed(body);
      auto decoded = stream.finish();
      ASSERT_TRUE(decoded) << decoded.error();
      test::RecordingSpooler spooler;
      const auto streamed = run_streamed_print_job(std::move(decoded).value(), spooler);
      ASSERT_FALSE(streamed) << body;
      EXPECT_EQ(streamed.error(), c.message) << body;
      // The whole-body path agrees.
      const auto whole = run_print_job(decode_print_body(body).value(), spooler);
      EXPECT_EQ(whole.error(), c.message) << body;
    }
    // A Base64 fault inside a body that is no JSON is a 400, not the 500 of the job.
    std::string broken = body_of(with({{"data_b64", R"("Q!")"}}, b64_first));
    broken.pop_back();
    PrintBodyStream stream(broken.size());
    stream.feed(broken);
    EXPECT_FALSE(stream.finish());
  }
}

TEST(PrintBodyStream, StreamIsFramedAroundTheRasterInPlace) {
  std::vector<Member> members = valid_members();
  for (Member& m : members) {
    if (m.key == "dry_run") m.value = "false";
  }
  const std::string body = body_of(members);
  for (std::size_t cut : {std::size_t{0}, body.size() / 2, body.size() - 3}) {
    auto decoded = stream_in_chunks(body, {cut});
    ASSERT_TRUE(decoded);
    test::RecordingSpooler spooler;
    const auto reply = run_streamed_print_job(std::move(decoded).value(), spooler);
    ASSERT_TRUE(reply) << reply.error();
    test::RecordingSpooler whole_spooler;
    const auto whole = run_print_job(decode_print_body(body).value(), whole_spooler);
    ASSERT_EQ(spooler.submitted.size(), 1u);
    EXPECT_EQ(spooler.submitted[0].stream, whole_spooler.submitted[0].stream);
    EXPECT_EQ(reply.value().bytes, whole.value().bytes);
  }
}

}  // namespace
}  // namespace sv::printing
