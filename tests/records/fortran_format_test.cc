#include "records/fortran_format.h"

#include <gtest/gtest.h>

#include <limits>
#include <string_view>
#include <vector>

namespace records {
namespace {

struct format_row {
  const char* text;
  int count;
  char kind;
  int width, decimals;
};

TEST(FortranFormat, Accepts) {
  const format_row rows[] = {
      {"(10I8)", 10, 'I', 8, -1},     // COSMOS integer header
      {"(6F13.6)", 6, 'F', 13, 6},    // COSMOS real header
      {"(5F15.6)", 5, 'F', 15, 6},    // COSMOS real header, another producer
      {"(8F10.5)", 8, 'F', 10, 5},    // COSMOS data
      {"(1E15.6)", 1, 'E', 15, 6},    // one value a line
      {"(16I5)", 16, 'I', 5, -1},     // CSMIP integer header
      {"(8f10.6)", 8, 'F', 10, 6},    // lower case, as CSMIP writes it
      {"8E10.4", 8, 'E', 10, 4},      // without parentheses, as SMC's documents give it
      {" ( 8F9.6 ) ", 8, 'F', 9, 6},  // blanks around the descriptor
      {"(I5)", 1, 'I', 5, -1},        // no repeat count: one
      {"(8F10)", 8, 'F', 10, -1},     // no decimals
      {"(4D20.12)", 4, 'D', 20, 12},  // double-precision exponent
      {"(5g15.7)", 5, 'G', 15, 7},
  };
  for (const format_row& row : rows) {
    const std::optional<fortran_format> f = parse_fortran_format(row.text);
    ASSERT_TRUE(f) << row.text;
    EXPECT_EQ(f->count, row.count) << row.text;
    EXPECT_EQ(f->kind, row.kind) << row.text;
    EXPECT_EQ(f->width, row.width) << row.text;
    EXPECT_EQ(f->decimals, row.decimals) << row.text;
  }
}

TEST(FortranFormat, Rejects) {
  for (const char* text : {
           "", "()",                 // nothing to repeat
           "(10I8", "10I8)",         // one parenthesis
           "(10A8)", "(10X8)",       // not a number's descriptor
           "(0I8)", "(10I0)",        // nothing on a line, a field of no width
           "(1001I8)", "(10I101)",   // beyond any line these formats write
           "(10I8.2)",               // an integer takes no decimals
           "(8F10.10)",              // no column left for the point
           "(10I8,2X)", "(2(4I8))",  // more than one descriptor
           "(10 I8)", "(ES15.6)",    // blanks inside, two-letter descriptors
           "(8F10.)", "(8F10.5)x",   // a point without decimals, text after
       }) {
    EXPECT_FALSE(parse_fortran_format(text)) << text;
  }
}

TEST(FortranFormat, FoundOnItsLine) {
  // "(04)" is a units code, "(Format v01.20 ...)" a version: the format is the group that parses.
  EXPECT_EQ(find_fortran_format("7000  acceleration pts, units=cm/sec2(04),Format=(8F10.5)")->width,
            10);
  EXPECT_EQ(find_fortran_format(" 12000 points of accel data ..., in cm/sec2. (8f10.6)")->count, 8);
  EXPECT_FALSE(find_fortran_format("Corrected acceleration    (Format v01.20 with 13 text lines)"));
}

struct fields_row {
  const char* rule;
  const char* line;
  const char* format;
  std::optional<double> blank;
  std::size_t read;  // fields read of format's count
  std::vector<double> values;
};

constexpr double unset = std::numeric_limits<double>::max();

TEST(FortranFormat, ReadsFieldsByWidth) {
  const fields_row rows[] = {
      {"F fields that touch", "-123.45000-999.0000", "(2F10.5)", {}, 2, {-123.45, -999}},
      {"E fields that touch", " 3.8688E-1-1.9160E+0", "(2E10.4)", {}, 2, {0.38688, -1.916}},
      {"I fields that touch", "  36013200", "(2I5)", {}, 2, {360, 13200}},
      {"leading zeros", "    012000", "(2I5)", {}, 2, {0, 12000}},
      {"no leading zero", "  .0108814 -.0003551", "(2F10.7)", {}, 2, {.0108814, -.0003551}},
      {"one-digit exponent, D", " 1.2714E+1   1.5D+02", "(2E10.4)", {}, 2, {12.714, 150}},
      {"no point: the number shown, not scaled", "        12", "(1F10.5)", {}, 1, {12}},
      {"left-justified", "1.5   2.5   ", "(2F6.1)", {}, 2, {1.5, 2.5}},
      {"a blank field is the blank value", "    1         3", "(3I5)", -999, 3, {1, -999, 3}},
      {"a short line's fields are blank", "  1.5", "(3F6.1)", -1, 3, {1.5, -1, -1}},
      {"a blank field stops reading without one", "    1         3", "(3I5)", {}, 1, {1}},
      {"a short line stops reading without one", "   1.5", "(3F6.1)", {}, 1, {1.5}},
      {"text in a field", "   1.5  1.5x", "(2F6.1)", {}, 1, {1.5}},
      {"no exponent without its letter", "  1.0-2", "(1F7.1)", {}, 0, {}},
      {"an integer has no point", "  1.0", "(1I5)", {}, 0, {}},
      {"a blank inside a number", " 1 .5", "(1F5.1)", {}, 0, {}},
  };
  for (const fields_row& row : rows) {
    const fortran_format f = *parse_fortran_format(row.format);
    std::vector<double> values(static_cast<std::size_t>(f.count), unset);
    EXPECT_EQ(read_fields(row.line, f, values.size(), values.data(), row.blank), row.read)
        << row.rule;
    values.resize(row.read);
    EXPECT_EQ(values, row.values) << row.rule;
  }
}

struct values_row {
  const char* rule;
  std::string_view text;
  std::size_t n;
  std::vector<double> values;  // read, or none where the reading fails
  std::size_t line, column;    // of the failure
  const char* what;
};

// Full lines are found by their length, any other line by its end: both read the same, and
// failures name the line and column where reading stopped.
TEST(FortranFormat, ReadsLinesOfValues) {
  const values_row rows[] = {
      {"full lines", "  1.5 -2.5\n  3.5\n", 3, {1.5, -2.5, 3.5}, 0, 0, ""},
      {"CR LF", "  1.5 -2.5\r\n  3.5\r\n", 3, {1.5, -2.5, 3.5}, 0, 0, ""},
      {"no line end at the end", "  1.5 -2.5\n  3.5", 3, {1.5, -2.5, 3.5}, 0, 0, ""},
      {"trailing blanks", "  1.5 -2.5  \n  3.5 \t\n", 3, {1.5, -2.5, 3.5}, 0, 0, ""},
      {"a short line",
       "  1.5 -2.5\n  3.5\n  4.5\n",
       4,
       {},
       2,
       6,
       "the line ends before value 4 of 4 values"},
      {"a line end inside a field",
       "  1.5\n -2.5\n",
       2,
       {},
       1,
       6,
       "the line ends before value 2 of 2 values"},
      {"a blank field", "  1.5     \n", 2, {}, 1, 6, "value 2 of 2 values is blank"},
      {"a value beyond the line's count",
       "  1.5 -2.5  7.0\n",
       2,
       {},
       1,
       11,
       "more than the 2 values a line of this format holds"},
      {"a value beyond the count",
       "  1.5 -2.5\n  3.5  7.0\n",
       3,
       {},
       2,
       6,
       "more values than the 3 values announced"},
      {"a CR inside a line", "  1.5\r-2.5\n", 2, {}, 1, 6, "not a number: '-2.5'"},
      {"text", "  1.5 -2.x\n", 2, {}, 1, 6, "not a number: '-2.x'"},
      // Refused before a line is read: at line 0.
      {"the end of the text",
       "  1.5 -2.5\n",
       4,
       {},
       0,
       0,
       "the rest of the file is too short for the 4 values announced"},
  };
  const fortran_format f = *parse_fortran_format("(2F5.1)");
  for (const values_row& row : rows) {
    line_reader lines(row.text);
    std::vector<double> values;
    const base::status s = read_values(lines, f, row.n, values, "values");
    if (row.values.empty()) {
      EXPECT_EQ(s.line, row.line) << row.rule;
      EXPECT_EQ(s.column, row.column) << row.rule;
      EXPECT_EQ(s.what, row.what) << row.rule;
      continue;
    }
    EXPECT_TRUE(s.ok()) << row.rule << ": " << s.what;
    EXPECT_EQ(values, row.values) << row.rule;
    EXPECT_TRUE(lines.at_end()) << row.rule;
  }
}

}  // namespace
}  // namespace records
