#include <gtest/gtest.h>

#include <string_view>

#include "host/static_files.h"

namespace {

using sv::host::content_type_for;

struct Case {
  std::string_view name;
  std::string_view type;
};

constexpr std::string_view kOctet = "application/octet-stream";

TEST(StaticContentType, KnownExtensions) {
  const Case cases[] = {
      {"index.html", "text/html; charset=utf-8"},
      {"assets/index-CJZCeTw7.js", "text/javascript; charset=utf-8"},
      {"worker.mjs", "text/javascript; charset=utf-8"},
      {"assets/index-DIi3kX94.css", "text/css; charset=utf-8"},
      {"manifest.json", "application/json"},
      {"assets/index.js.map", "application/json"},
      {"a.png", "image/png"},
      {"sample.jpg", "image/jpeg"},
      {"b.jpeg", "image/jpeg"},
      {"icon.svg", "image/svg+xml"},
      {"favicon.ico", "image/x-icon"},
      {"f.woff", "font/woff"},
      {"f.woff2", "font/woff2"},
      {"zxing_reader-1a2b.wasm", "application/wasm"},
  };
  for (const Case& c : cases) EXPECT_EQ(content_type_for(c.name), c.type) << c.name;
}

TEST(StaticContentType, MatchIsExactAndCaseSensitive) {
  for (std::string_view name :
       {"a.PNG", "INDEX.HTML", "a.Js", "page.htm", "a.jpg2", "a.woff3", "a.xhtml", "a.exe"}) {
    EXPECT_EQ(content_type_for(name), kOctet) << name;
  }
}

TEST(StaticContentType, ExtensionComesFromTheLastComponentOnly) {
  const Case cases[] = {
      {"assets.css/readme", kOctet},  // a dotted folder lends no extension
      {"dir.js\\file", kOctet},       // backslash separates components too
      {"dir\\style.css", "text/css; charset=utf-8"},
      {"a/b/c.min.js", "text/javascript; charset=utf-8"},
      {"archive.js.gz", kOctet},
  };
  for (const Case& c : cases) EXPECT_EQ(content_type_for(c.name), c.type) << c.name;
}

TEST(StaticContentType, LeadingDotEmptyOrMissingExtension) {
  const Case cases[] = {
      {".js", kOctet},  // only dot is the first character: a hidden file, no extension
      {"assets/.css", kOctet},
      {"README", kOctet},
      {"trailing.", kOctet},
      {"", kOctet},
      {"dir/", kOctet},
      {".hidden.css", "text/css; charset=utf-8"},
      {"..js", "text/javascript; charset=utf-8"},
  };
  for (const Case& c : cases) EXPECT_EQ(content_type_for(c.name), c.type) << c.name;
}

}  // namespace
