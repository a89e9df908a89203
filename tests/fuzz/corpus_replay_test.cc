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

// Every seed of a target's corpus passes its check; a corpus keeps at least its seeds.
void replay(const std::string& target, std::size_t seeds,
            std::string (*check)(const std::uint8_t*, std::size_t)) {
  const auto files = corpus(target);
  ASSERT_GE(files.size(), seeds);
  for (const auto& file : files) {
    const std::string bytes = content(file);
    EXPECT_EQ(check(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "") << file;
  }
}

TEST(FuzzCorpus, ListInput) {
  replay("list_input", 10, fuzz::check_list_input);
}
TEST(FuzzCorpus, Fields) {
  replay("fields", 10, fuzz::check_fields);
}
TEST(FuzzCorpus, Records) {
  replay("records", 8, fuzz::check_records);
}
TEST(FuzzCorpus, RecordsFixed) {
  replay("records_fixed", 8, fuzz::check_records_fixed);
}
TEST(FuzzCorpus, RecordsSeismo) {
  replay("records_seismo", 10, fuzz::check_records_seismo);
}
TEST(FuzzCorpus, Options) {
  replay("options", 8, fuzz::check_options);
}
TEST(FuzzCorpus, Outputs) {
  replay("outputs", 6, fuzz::check_outputs);
}
TEST(FuzzCorpus, Processing) {
  replay("processing", 6, fuzz::check_processing);
}

TEST(FuzzCorpus, Tables) {
  replay("tables", 6, fuzz::check_tables);
}
TEST(FuzzCorpus, Decimals) {
  replay("decimals", 8, fuzz::check_decimals);
}
TEST(FuzzCorpus, Continuous) {
  replay("continuous", 4, fuzz::check_continuous);
}
TEST(FuzzCorpus, Pair) {
  replay("pair", 4, fuzz::check_pair);
}

}  // namespace
