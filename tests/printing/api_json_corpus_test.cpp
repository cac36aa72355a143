// JSONTestSuite's parsing corpus as the value of an unknown member of a valid body: the
// member is skipped, but its value must still be well-formed JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "printing/api_json.h"
#include "printing/body_fixture.h"

namespace sv::printing {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(SORVENDALE_SOURCE_DIR) / ".." / "shared" / "corpora" /
                         "JSONTestSuite" / "test_parsing";

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> corpus_files(const std::string& prefix) {
  std::vector<fs::path> files;
  if (!fs::is_directory(kCorpus)) return files;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".json") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string embedded(const std::string& document) {
  return "{\"request\":" + testing::object_of(testing::valid_members()) + ",\"x\":" + document +
         "}";
}

TEST(JsonCorpus, CorpusIsPresent) {
  ASSERT_TRUE(fs::is_directory(kCorpus)) << kCorpus;
  EXPECT_GT(corpus_files("y_").size(), 90u);
  EXPECT_GT(corpus_files("n_").size(), 180u);
}

TEST(JsonCorpus, AcceptedDocumentsAreSkipped) {
  const auto files = corpus_files("y_");
  ASSERT_FALSE(files.empty()) << kCorpus;
  for (const auto& file : files) {
    const std::string body = embedded(read_file(file));
    auto r = decode_print_body(body);
    EXPECT_TRUE(r) << file.filename() << ": " << (r ? "" : r.error());
    // Inside the request object as well.
    auto inner = decode_print_body(testing::body_with("x", read_file(file)));
    EXPECT_TRUE(inner) << file.filename() << " (in request): " << (inner ? "" : inner.error());
  }
}

TEST(JsonCorpus, RefusedDocumentsAreRefused) {
  const auto files = corpus_files("n_");
  ASSERT_FALSE(files.empty()) << kCorpus;
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    // No refused document changes its verdict here: the body's own closing brace can finish
    // an unclosed object (n_structure_open_object, n_structure_unclosed_object), but then the
    // body itself stays unclosed.
    for (const std::string& body :
         {embedded(read_file(file)), testing::body_with("x", read_file(file))}) {
      auto r = decode_print_body(body);
      ASSERT_FALSE(r) << name;
      EXPECT_EQ(r.error().find("missing field"), std::string::npos) << name << ": " << r.error();
    }
  }
}

}  // namespace
}  // namespace sv::printing
