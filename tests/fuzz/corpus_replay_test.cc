// The fuzzers' seed corpus through the same checks the fuzzers run, in the ordinary test
// suite: every seed must keep passing without clang.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "targets.h"

namespace {

std::vector<std::filesystem::path> corpus(const std::string& target) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(FUZZ_CORPUS_DIR) + "/" + target)) {
    files.push_back(entry.path());
  }
  return files;
}

std::string content(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FuzzCorpus, ListInput) {
  const auto files = corpus("list_input");
  ASSERT_GE(files.size(), 10u);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(
        fuzz::check_list_input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        "")
        << file;
  }
}

TEST(FuzzCorpus, Fields) {
  const auto files = corpus("fields");
  ASSERT_GE(files.size(), 10u);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(fuzz::check_fields(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
              "")
        << file;
  }
}

TEST(FuzzCorpus, Records) {
  const auto files = corpus("records");
  ASSERT_GE(files.size(), 8u);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(
        fuzz::check_records(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << file;
  }
}

TEST(FuzzCorpus, Options) {
  const auto files = corpus("options");
  ASSERT_GE(files.size(), 8u);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(
        fuzz::check_options(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << file;
  }
}

TEST(FuzzCorpus, Outputs) {
  const auto files = corpus("outputs");
  ASSERT_GE(files.size(), 6u);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(
        fuzz::check_outputs(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << file;
  }
}

}  // namespace
