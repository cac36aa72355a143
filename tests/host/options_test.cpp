#include "host/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/startup.h"
#include "platform/path_text.h"

namespace sv::host {
namespace {

TEST(ParsePort, AcceptsPlainDecimalWithOptionalPlus) {
  struct Case {
    const char* text;
    std::optional<std::uint16_t> port;
  };
  const Case cases[] = {
      {"8080", 8080},      {"+8080", 8080}, {"0", 0},      {"65535", 65535},
      {"00017890", 17890}, {"65536", {}},   {"70000", {}}, {"99999999999999999999", {}},
      {"-1", {}},          {"+", {}},       {"-", {}},     {"", {}},
      {"abc", {}},         {"80a", {}},     {" 80", {}},   {"80 ", {}},
      {"++80", {}},        {"+-80", {}},    {"８０", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_port(c.text), c.port) << '"' << c.text << '"';
}

TEST(ParseOptions, AppliesArgumentsLeftToRight) {
  struct Case {
    std::vector<std::string> args;
    std::uint16_t port;
    bool open;
    std::optional<std::string> dist;
  };
  const std::vector<Case> cases = {
      {{}, 17890, true, {}},
      {{"--port", "8080", "--no-open"}, 8080, false, {}},
      {{"--port", "abc"}, 17890, true, {}},
      {{"--port", "70000"}, 17890, true, {}},
      {{"--port", "-1"}, 17890, true, {}},
      {{"--port"}, 17890, true, {}},
      {{"--port", "9000", "--port", "bad"}, 9000, true, {}},
      {{"--port", "9000", "--port"}, 9000, true, {}},
      {{"--port", "9000", "--port", "9001"}, 9001, true, {}},
      {{"--port", "+8080"}, 8080, true, {}},
      // "--no-open" is eaten as the port value and fails to parse.
      {{"--port", "--no-open"}, 17890, true, {}},
      {{"--port=8080"}, 17890, true, {}},
      {{"--PORT", "8080"}, 17890, true, {}},
      {{"8080", "--no-open"}, 17890, false, {}},
      {{"--no-open", "--no-open"}, 17890, false, {}},
      {{"--dist", "web/dist"}, 17890, true, "web/dist"},
      {{"--dist", "a", "--dist", "b"}, 17890, true, "b"},
      // A trailing "--dist" cancels the earlier one.
      {{"--dist", "a", "--dist"}, 17890, true, {}},
      {{"--dist", "--no-open"}, 17890, true, "--no-open"},
      {{"--dist", "--port", "8080"}, 17890, true, "--port"},
      {{"--dist", "前端"}, 17890, true, "前端"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    const Options o = parse_options(c.args);
    EXPECT_EQ(o.listen_port, c.port) << joined;
    EXPECT_EQ(o.open_browser, c.open) << joined;
    ASSERT_EQ(o.frontend_dir.has_value(), c.dist.has_value()) << joined;
    if (c.dist) {
      EXPECT_EQ(platform::path_to_utf8(*o.frontend_dir), *c.dist) << joined;
    }
  }
}

TEST(ParseOptions, HelpAndVersionReplaceServing) {
  struct Case {
    std::vector<std::string> args;
    Action action;
  };
  const std::vector<Case> cases = {
      {{}, Action::serve},
      {{"--help"}, Action::help},
      {{"--version"}, Action::version},
      {{"--version", "--help"}, Action::help},
      {{"--help", "--version"}, Action::help},
      {{"--port", "8080", "--version", "--no-open"}, Action::version},
      // Consumed as the value of the option before them, like any other argument.
      {{"--port", "--help"}, Action::serve},
      {{"--dist", "--version"}, Action::serve},
      {{"-h"}, Action::serve},
      {{"--HELP"}, Action::serve},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    EXPECT_EQ(parse_options(c.args).action, c.action) << joined;
  }
}

TEST(FrontendDirCandidates, SearchesBesideTheProgramThenTheWorkingFolder) {
  namespace fs = std::filesystem;
  const fs::path exe = fs::path("/opt") / "sv" / "bin" / "sorvendale";
  const fs::path bin = exe.parent_path();
  const std::vector<fs::path> expected = {
      bin / "dist",
      bin / ".." / "dist",
      bin / ".." / ".." / "dist",
      bin / ".." / ".." / ".." / "dist",
      "dist",
  };
  EXPECT_EQ(frontend_dir_candidates(exe), expected);
  EXPECT_EQ(frontend_dir_candidates(std::nullopt), std::vector<fs::path>{"dist"});
  EXPECT_EQ(frontend_dir_candidates(fs::path("sorvendale")), std::vector<fs::path>{"dist"});
}

}  // namespace
}  // namespace sv::host
