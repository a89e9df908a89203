// The decimal scanner of the text readers: where a number ends, and its value correctly rounded
// (as the C library's strtod reads the same digits), on the fast path and off it.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/numbers.h"

namespace base {
namespace {

struct scan_row {
  const char* rule;
  std::string_view text;
  std::size_t length;  // of the number at the start of text
};

TEST(ScanDecimal, ReadsTheNumberAtTheStart) {
  const scan_row rows[] = {
      {"digits, point, exponent", "3.437285e-04", 12},
      {"a field that touches the next", "-123.45000-999.0000", 10},
      {"no digit before the point", "-.00101 ", 7},
      {"no digit after the point", "12.", 3},
      {"plus signs", "+1.5E+2,", 7},
      {"Fortran's D exponent", "1.5D+03", 7},
      {"lower-case d exponent", "-2.5d-2x", 7},
      {"zero with a sign", "-0.0", 4},
      {"an exponent with leading zeros", "1e0000000000000005", 18},
      {"19 digits, past 2^53: off the fast path", "9007199254740993.00", 19},
      {"more than 19 digits", "12345678901234567890123.0e-3", 28},
      {"digits and exponent that cancel", "0.000000000000000000001e+22", 27},
      {"beyond 10^22: off the fast path", "1e23", 4},
      {"the largest double", "1.7976931348623157e308", 22},
      {"a subnormal", "4.9e-324", 8},
      {"an exponent letter without digits ends before it", "1.5E", 0},
  };
  for (const scan_row& row : rows) {
    double value = -7.25;
    const char* const end = scan_decimal(row.text.data(), row.text.data() + row.text.size(), value);
    if (row.length == 0) {
      EXPECT_EQ(end, nullptr) << row.rule;
      EXPECT_EQ(value, -7.25) << row.rule;  // left as it was
      continue;
    }
    ASSERT_NE(end, nullptr) << row.rule;
    EXPECT_EQ(static_cast<std::size_t>(end - row.text.data()), row.length) << row.rule;
    std::string c_text(row.text.substr(0, row.length));
    for (char& c : c_text) c = c == 'D' || c == 'd' ? 'e' : c;
    const double expected = std::strtod(c_text.c_str(), nullptr);
    EXPECT_EQ(std::bit_cast<unsigned long long>(value), std::bit_cast<unsigned long long>(expected))
        << row.rule;
  }
}

TEST(ScanDecimal, RefusesWhatIsNotAFiniteNumber) {
  const std::string_view rows[] = {
      "",                        // nothing
      " 1.0",                    // a blank before the number
      "-",                       // a sign alone
      ".",                       // a point alone
      "+.e5",                    // no digit
      "1e+",                     // an exponent without digits
      "1e400",                   // beyond the doubles
      "-1e99999999999",          // a huge exponent, beyond them too
      "1e-0000000001000000000",  // a ten-digit exponent: below them
      "inf",
      "nan",
  };
  for (const std::string_view text : rows) {
    double value = 0;
    EXPECT_EQ(scan_decimal(text.data(), text.data() + text.size(), value), nullptr) << text;
  }
}

}  // namespace
}  // namespace base
