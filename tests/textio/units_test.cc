#include "textio/units.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/program.h"

namespace textio {
namespace {

using testing_support::temp_folder;

constexpr int unit = 20;

void write_text(const std::string& text) {
  ASSERT_FALSE(write_record(unit_number(unit), text));
}

TEST(Units, ExistingLongerFileHoldsExactlyWhatWasWritten) {
  temp_folder folder;
  folder.write("out.csv", std::string(300000, 'x'));
  ASSERT_FALSE(connect_unit(unit, (folder / "out.csv").string()));
  write_text(" header\n");
  write_text("1,2\n");
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_EQ(folder.read("out.csv"), " header\n1,2\n");
}

TEST(Units, LargeOutputCrossesTheBufferWhole) {
  temp_folder folder;
  ASSERT_FALSE(connect_unit(unit, (folder / "big.csv").string()));
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string line = std::to_string(i) + std::string(40, '.') + "\n";
    write_text(line);
    expected += line;
  }
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_EQ(folder.read("big.csv"), expected);
}

TEST(Units, FileThatWasOnlyReadIsNotCut) {
  temp_folder folder;
  folder.write("rec.csv", "t,a,b,c\n0,1,2,3\n");
  ASSERT_FALSE(connect_unit(unit, (folder / "rec.csv").string()));
  EXPECT_EQ(unit_number(unit).input.get(), 't');
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_EQ(folder.read("rec.csv"), "t,a,b,c\n0,1,2,3\n");
}

TEST(Units, MissingFileIsCreatedEmptyAndReadsAsEmpty) {
  temp_folder folder;
  ASSERT_FALSE(connect_unit(unit, (folder / "new.csv").string()));
  EXPECT_EQ(unit_number(unit).input.peek(), input_stream::end);
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_TRUE(folder.exists("new.csv"));
  EXPECT_EQ(folder.read("new.csv"), "");
}

TEST(Units, NamesLoseTrailingBlanksOnly) {
  temp_folder folder;
  ASSERT_FALSE(connect_unit(unit, (folder / "name.csv").string() + "     "));
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_TRUE(folder.exists("name.csv"));
  ASSERT_FALSE(connect_unit(unit, folder.path().string() + "/  lead.csv"));
  ASSERT_FALSE(disconnect_unit(unit));
  EXPECT_TRUE(folder.exists("  lead.csv"));
  EXPECT_EQ(unit_number(unit).name, folder.path().string() + "/  lead.csv");  // kept for reports
}

TEST(Units, ConnectFailures) {
  const io_error blank = connect_unit(unit, "        ");
  EXPECT_STREQ(blank.context, "open");
  EXPECT_EQ(blank.number, null_file_name);
  const io_error missing_folder = connect_unit(unit, "/nonexistent-folder/x.csv");
  EXPECT_STREQ(missing_folder.context, "open");
  EXPECT_EQ(missing_folder.number, ENOENT);
  EXPECT_FALSE(unit_number(unit).connected);
}

}  // namespace
}  // namespace textio
