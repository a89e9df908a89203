#include "textio/units.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/fake_disk.h"

namespace textio {
namespace {

using testing_support::fake_disk;

constexpr int number = 20;

class Units : public ::testing::Test {
 protected:
  Units() { reset_units(os); }
  void write_text(const std::string& text) {
    unit& u = unit_at(number);
    ASSERT_FALSE(prepare_to_write(u));
    ASSERT_FALSE(write_record(u, text));
  }
  bool logged(const std::string& entry) const {
    for (const std::string& e : os.log) {
      if (e == entry) return true;
    }
    return false;
  }
  fake_disk os;
};

TEST_F(Units, FirstWriteCutsAnExistingFileToEmpty) {
  os.files["out.csv"] = std::string(300000, 'x');
  ASSERT_FALSE(connect_unit(number, "out.csv"));
  EXPECT_EQ(os.files["out.csv"].size(), 300000u);  // connecting alone changes nothing
  write_text(" header\n");
  EXPECT_EQ(os.files["out.csv"], "");  // before any record reaches it
  write_text("1,2\n");
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_EQ(os.files["out.csv"], " header\n1,2\n");
}

TEST_F(Units, LargeOutputReachesTheFileInWholeLines) {
  ASSERT_FALSE(connect_unit(number, "big.csv"));
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::string line = std::to_string(i) + std::string(40, '.') + "\n";
    write_text(line);
    expected += line;
    // What the file holds at any moment ends on a line end.
    ASSERT_TRUE(os.files["big.csv"].empty() || os.files["big.csv"].back() == '\n');
  }
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_EQ(os.files["big.csv"], expected);
}

TEST_F(Units, FileThatWasOnlyReadIsNotCut) {
  os.files["rec.csv"] = "t,a,b,c\n0,1,2,3\n";
  ASSERT_FALSE(connect_unit(number, "rec.csv"));
  ASSERT_FALSE(prepare_to_read(unit_at(number)));
  EXPECT_EQ(unit_at(number).input.get(), 't');
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_EQ(os.files["rec.csv"], "t,a,b,c\n0,1,2,3\n");
  EXPECT_FALSE(logged("truncate rec.csv 0"));
}

TEST_F(Units, MissingFileIsCreatedEmptyAndReadsAsEmpty) {
  ASSERT_FALSE(connect_unit(number, "new.csv"));
  EXPECT_EQ(unit_at(number).input.peek(), input_stream::end);
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_TRUE(os.files.count("new.csv"));
  EXPECT_TRUE(logged("open new.csv create"));
}

TEST_F(Units, NamesLoseTrailingBlanksOnly) {
  ASSERT_FALSE(connect_unit(number, "name.csv     "));
  ASSERT_FALSE(disconnect_unit(number));
  ASSERT_FALSE(connect_unit(number, "  lead.csv"));
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_TRUE(os.files.count("name.csv") && os.files.count("  lead.csv"));
  EXPECT_EQ(unit_at(number).name, "  lead.csv");  // kept for reports
}

TEST_F(Units, ConnectFailures) {
  const io_error blank = connect_unit(number, "        ");
  EXPECT_STREQ(blank.context, "open");
  EXPECT_EQ(blank.number, null_file_name);
  const io_error missing_folder = connect_unit(number, "nodir/x.csv");
  EXPECT_STREQ(missing_folder.context, "open");
  EXPECT_EQ(missing_folder.number, ENOENT);
  EXPECT_FALSE(unit_at(number).connected);
}

// A pipe opened for update would count this program among its writers and never end.
TEST_F(Units, PipeIsOpenedForWhatItIsFirstUsedFor) {
  os.files["fifo"] = "t,a,b,c\n";
  os.pipes.insert("fifo");
  ASSERT_FALSE(connect_unit(number, "fifo"));
  EXPECT_TRUE(os.log.empty());
  ASSERT_FALSE(prepare_to_read(unit_at(number)));
  EXPECT_EQ(os.log, std::vector<std::string>{"open fifo read-only"});
  ASSERT_FALSE(disconnect_unit(number));
  ASSERT_FALSE(connect_unit(number, "fifo"));
  write_text("x\n");
  ASSERT_FALSE(disconnect_unit(number));
  EXPECT_TRUE(logged("open fifo write-only"));
  EXPECT_FALSE(logged("truncate fifo 0"));
}

TEST_F(Units, WriteFailureLeavesTheWholeRecordsThatReachedTheFile) {
  os.fail_writes_after("out.csv", 1000);
  ASSERT_FALSE(connect_unit(number, "out.csv"));
  const std::string line(47, '5');
  io_error error;
  for (int i = 0; i < 10000 && !error; ++i) {
    unit& u = unit_at(number);
    ASSERT_FALSE(prepare_to_write(u));
    error = write_record(u, line + "\n");
  }
  EXPECT_STREQ(error.context, "write");
  EXPECT_EQ(error.number, ENOSPC);
  EXPECT_EQ(os.files["out.csv"].size(), 1000u / 48 * 48);
  EXPECT_EQ(os.files["out.csv"].back(), '\n');
}

TEST_F(Units, FailedCloseIsAnError) {
  os.fail_close("out.csv");
  ASSERT_FALSE(connect_unit(number, "out.csv"));
  write_text("x\n");
  const io_error error = disconnect_unit(number);
  EXPECT_STREQ(error.context, "close");
  EXPECT_EQ(error.number, EIO);
  EXPECT_EQ(os.files["out.csv"], "x\n");
}

}  // namespace
}  // namespace textio
