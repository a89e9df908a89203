#include "textio/record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace textio {
namespace {

constexpr record_format ground_velocity = parse_format("(F8.4,3(',',F12.4))");
constexpr record_format energy = parse_format("(F9.4,4(',',F9.4))");
constexpr record_format response_wave = parse_format("(F9.4,12(',',E15.7))");
static_assert(ground_velocity.length() == 47 && ground_velocity.items() == 4);
static_assert(energy.length() == 49 && energy.items() == 5);
static_assert(response_wave.length() == 201 && response_wave.items() == 13);

template <const record_format& format>
std::string formatted(std::vector<double> items) {
  std::string out(static_cast<std::size_t>(format.length()), '?');
  char* end = render_formatted<format>(out.data(), items);
  out.resize(static_cast<std::size_t>(end - out.data()));
  return out;
}

std::string list(std::initializer_list<list_item> items) {
  std::string out;
  render_list(items, out);
  return out;
}

TEST(FormattedRecord, DocumentedLines) {
  EXPECT_EQ(formatted<ground_velocity>({0.01, 0.001234, -0.5, 12.3456789}),
            "  0.0100,      0.0012,     -0.5000,     12.3457");
  EXPECT_EQ(formatted<energy>({0.01, 0.12345, -0.00004, 1234.5, -999.99994}),
            "   0.0100,   0.1235,   0.0000,1234.5000,-999.9999");
  EXPECT_EQ(formatted<response_wave>(
                {0.02, 0, -1.5, 2.5e-7, 123.456, -0.00012345678, 9.99999999, 1, -3, 0.5, 1, 0, 0}),
            "   0.0200,  0.0000000E+00, -0.1500000E+01,  0.2500000E-06,  0.1234560E+03, "
            "-0.1234568E-03,  0.1000000E+02,  0.1000000E+01, -0.3000000E+01,  0.5000000E+00,  "
            "0.1000000E+01,  0.0000000E+00,  0.0000000E+00");
}

TEST(FormattedRecord, OverflowingTimeKeepsTheLineLength) {
  const std::string line = formatted<ground_velocity>({1000.0, 1, 2, 3});
  EXPECT_EQ(line, "********,      1.0000,      2.0000,      3.0000");
  EXPECT_EQ(line.size(), 47u);
}

TEST(ListRecord, DocumentedRecords) {
  EXPECT_EQ(list({}), "\n");
  EXPECT_EQ(list({"nn and DT=", 2000, 0.01}), " nn and DT= 2000  0.01\n");
  EXPECT_EQ(list({"nn and mm=", 150000, 131100}), " nn and mm= 150000 131100\n");
  EXPECT_EQ(list({" nn > mm !!!!!"}), "  nn > mm !!!!!\n");
  EXPECT_EQ(list({"T and damping T =", 1.0, 1.00125234864}),
            " T and damping T =  1.  1.00125235\n");
  EXPECT_EQ(list({"time(s),vel1,vel2,vel3"}), " time(s),vel1,vel2,vel3\n");
  EXPECT_EQ(list({0.01}), "  0.01\n");
  EXPECT_EQ(list({"a", "b"}), " ab\n");  // texts are not separated
}

TEST(ListRecord, ItemsThatWouldReachColumn80StartANewRecord) {
  const std::string x60(60, 'x'), x61(61, 'x'), x62(62, 'x'), y76(76, 'y'), y77(77, 'y');
  const std::string z100(100, 'z');
  const std::string_view text60 = x60, text61 = x61, text62 = x62, text76 = y76, text77 = y77;
  // 61 + 17 = 78: still fits.
  EXPECT_EQ(list({text60, -1.23456789e100}), " " + x60 + " -1.23456789E+100\n");
  // 62 + 17 = 79 < 80 fits; one more character would make 80.
  EXPECT_EQ(list({text61, -1.23456789e100}), " " + x61 + " -1.23456789E+100\n");
  EXPECT_EQ(list({text62, -1.23456789e100}), " " + x62 + "\n -1.23456789E+100\n");
  // An integer counts its digits only: 77 + 2 = 79 fits, 78 + 2 = 80 does not.
  EXPECT_EQ(list({text76, 10}), " " + y76 + " 10\n");
  EXPECT_EQ(list({text77, 10}), " " + y77 + "\n 10\n");
  // A text starting a new record gets its blank; one item alone is never split.
  EXPECT_EQ(list({text77, "abc"}), " " + y77 + "\n abc\n");
  EXPECT_EQ(list({std::string_view(z100)}), " " + z100 + "\n");
}

}  // namespace
}  // namespace textio
