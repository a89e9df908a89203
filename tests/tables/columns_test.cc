// The tables read back into columns and written again.
#include "tables/columns.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/data.h"

namespace tables {
namespace {

constexpr std::string_view names[] = {"record", "component", "station"};

std::string golden(const std::string& name) {
  return testing_support::file_text(std::string(TEST_DATA_DIR) + "/golden/sdofspec/" + name);
}

// Every table sdofspec writes comes back the same, byte for byte: numbers at their shortest
// read back as the same doubles, empty fields as NaN, angles as whole numbers.
TEST(Columns, TablesComeBackWhole) {
  for (const char* file : {"spectra.csv", "ims.csv"}) {
    const std::string text = golden(file);
    const table_read t = read_table(text, names);
    ASSERT_TRUE(t.status.ok()) << file << ": " << t.status.line << ": " << t.status.what;
    EXPECT_EQ(write_table(t.columns), text) << file;
  }
  const table_read t = read_table(golden("spectra.csv"), names);
  ASSERT_EQ(t.columns.size(), 18u);  // with the angles of each rotated ordinate
  EXPECT_TRUE(t.columns[0].text);
  EXPECT_FALSE(t.columns[3].text);  // the azimuth is a number
  EXPECT_EQ(t.columns[0].texts[0], "RSN6_IMPVALL.I_I-ELC180.AT2");
  EXPECT_EQ(t.columns[6].numbers[0], 0.0007010604248213854);
  EXPECT_TRUE(std::isnan(t.columns[13].numbers[0]));  // no angle on a component's row
}

TEST(Columns, QuotedFields) {
  const std::string text = "record,x\n\"a,b.csv\",1\n\"say \"\"x\"\"\",-0\n\"two\nlines\",\n";
  const table_read t = read_table(text, names);
  ASSERT_TRUE(t.status.ok()) << t.status.what;
  EXPECT_EQ(t.columns[0].texts, (std::vector<std::string>{"a,b.csv", "say \"x\"", "two\nlines"}));
  EXPECT_TRUE(std::signbit(t.columns[1].numbers[1]));
  EXPECT_TRUE(std::isnan(t.columns[1].numbers[2]));
  EXPECT_EQ(write_table(t.columns), text);
  EXPECT_TRUE(check_lengths(t.columns).ok());
  std::vector<column_values> uneven = t.columns;
  uneven[1].numbers.pop_back();
  EXPECT_EQ(check_lengths(uneven).what, "x has 2 rows where record has 3");
}

TEST(Columns, RefusesWithTheLine) {
  const struct {
    const char* text;
    std::size_t line;
    const char* what;
  } rows[] = {
      {"", 1, "the table has no header"},
      {"record,x\na,1\nb\n", 3, "1 fields where the header has 2"},
      {"record,x\na,1,2\n", 2, "3 fields where the header has 2"},
      {"record,x\na,1e\n", 2, "x: not a number: '1e'"},
      {"record,x\na,nan\n", 2, "x: not a number: 'nan'"},  // the tables hold finite values
      {"record,x\n\"a,1\n", 2, "a quoted field is not closed"},
      {"record,x\n\"a\"b,1\n", 2, "text after a quoted field"},
      {"record,x\na\"b,1\n", 2, "a quote inside a field that is not quoted"},
  };
  for (const auto& row : rows) {
    const table_read t = read_table(row.text, names);
    EXPECT_EQ(t.status.what, row.what) << row.text;
    EXPECT_EQ(t.status.line, row.line) << row.text;
    EXPECT_TRUE(t.columns.empty());
  }
}

}  // namespace
}  // namespace tables
