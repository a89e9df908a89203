#include "textio/fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "support/reference_fields.h"

namespace textio {
namespace {

std::string fixed(double v, int w, int d) {
  char out[field_width_max];
  return {out, format_fixed(out, v, w, d)};
}
std::string exponential(double v, int w, int d) {
  char out[field_width_max];
  return {out, format_exponential(out, v, w, d)};
}
std::string list_double(double v) {
  char out[list_double_max];
  return {out, format_list_double(out, v)};
}

struct field_row {
  double value;
  const char* f8_4;
  const char* f9_4;
  const char* f12_4;
  const char* e15_7;
};

// The documented examples, blanks written as blanks.
const field_row field_rows[] = {
    {0.0, "  0.0000", "   0.0000", "      0.0000", "  0.0000000E+00"},
    {-0.0, "  0.0000", "   0.0000", "      0.0000", "  0.0000000E+00"},  // no sign on -0
    {0.5, "  0.5000", "   0.5000", "      0.5000", "  0.5000000E+00"},
    {-0.5, " -0.5000", "  -0.5000", "     -0.5000", " -0.5000000E+00"},
    {1.0, "  1.0000", "   1.0000", "      1.0000", "  0.1000000E+01"},
    {12.3456789, " 12.3457", "  12.3457", "     12.3457", "  0.1234568E+02"},
    {-123.45678, "********", "-123.4568", "   -123.4568", " -0.1234568E+03"},
    {0.00004, "  0.0000", "   0.0000", "      0.0000", "  0.4000000E-04"},
    {-0.00004, "  0.0000", "   0.0000", "      0.0000", " -0.4000000E-04"},  // sign lost at 0
    {0.00005, "  0.0001", "   0.0001", "      0.0001", "  0.5000000E-04"},
    {-0.00005, " -0.0001", "  -0.0001", "     -0.0001", " -0.5000000E-04"},
    {1234567.891, "********", "*********", "1234567.8910", "  0.1234568E+07"},
    {123456789.0, "********", "*********", "************", "  0.1234568E+09"},
    {-2.5e-7, "  0.0000", "   0.0000", "      0.0000", " -0.2500000E-06"},
    {9.99999999, " 10.0000", "  10.0000", "     10.0000", "  0.1000000E+02"},  // carry
    {1e100, "********", "*********", "************", "  0.1000000+101"},       // no E past 99
    {1e-100, "  0.0000", "   0.0000", "      0.0000", "  0.1000000E-99"},
    {1e-101, "  0.0000", "   0.0000", "      0.0000", "  0.1000000-100"},
};

TEST(FieldFormat, DocumentedExamples) {
  for (const field_row& row : field_rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(fixed(row.value, 8, 4), row.f8_4);
    EXPECT_EQ(fixed(row.value, 9, 4), row.f9_4);
    EXPECT_EQ(fixed(row.value, 12, 4), row.f12_4);
    EXPECT_EQ(exponential(row.value, 15, 7), row.e15_7);
  }
}

TEST(FieldFormat, RangeLimitsOfFixedFields) {
  EXPECT_EQ(fixed(999.9999, 8, 4), "999.9999");
  EXPECT_EQ(fixed(999.99995, 8, 4), "********");  // rounds to 1000.0000
  EXPECT_EQ(fixed(-99.9999, 8, 4), "-99.9999");
  EXPECT_EQ(fixed(-100.0, 8, 4), "********");
  EXPECT_EQ(fixed(9999.9999, 9, 4), "9999.9999");
  EXPECT_EQ(fixed(-999.9999, 9, 4), "-999.9999");
  EXPECT_EQ(fixed(1000.0, 8, 4), "********");  // a time of 1000 s in F8.4
  EXPECT_EQ(fixed(9999999.9999, 12, 4), "9999999.9999");
  EXPECT_EQ(fixed(-999999.9999, 12, 4), "-999999.9999");
  EXPECT_EQ(fixed(1e300, 12, 4), "************");
  EXPECT_EQ(fixed(std::numeric_limits<double>::denorm_min(), 9, 4), "   0.0000");
}

TEST(FieldFormat, NarrowFieldsDropTheLeadingZeroOrOverflow) {
  EXPECT_EQ(fixed(0.5, 5, 4), ".5000");   // "0.5000" is one too long: the zero goes
  EXPECT_EQ(fixed(-0.5, 5, 4), "*****");  // two too long
  EXPECT_EQ(fixed(-0.5, 6, 4), "-.5000");
  EXPECT_EQ(exponential(0.5, 12, 7), ".5000000E+00");   // w = d + 5: no leading zero
  EXPECT_EQ(exponential(-0.5, 12, 7), "************");  // w < d + 6 with a sign
  EXPECT_EQ(exponential(0.5, 11, 7), "***********");
}

TEST(FieldFormat, InfinitiesAndNotANumbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(fixed(inf, 9, 4), "      inf");
  EXPECT_EQ(fixed(-inf, 9, 4), "     -inf");
  EXPECT_EQ(fixed(nan, 9, 4), "      nan");
  EXPECT_EQ(fixed(-nan, 8, 4), "     nan");  // a not-a-number is never negative
  EXPECT_EQ(fixed(-inf, 3, 1), "***");
  EXPECT_EQ(exponential(inf, 15, 7), "            INF");
  EXPECT_EQ(exponential(-inf, 15, 7), "           -INF");
  EXPECT_EQ(exponential(nan, 15, 7), "            NAN");
  EXPECT_EQ(list_double(inf), "  INF");
  EXPECT_EQ(list_double(-inf), " -INF");
  EXPECT_EQ(list_double(nan), "  NAN");
}

TEST(FieldFormat, ListDirectedDoubles) {
  const struct {
    double value;
    const char* text;
  } rows[] = {
      {0.01, "  0.01"},
      {1.0, "  1."},
      {2000.0, "  2000."},
      {1.0e-5, "  1.E-005"},  // a point is inserted before the exponent
      {1234567890.0, "  1.23456789E+009"},
      {-2.5, " -2.5"},
      {0.0, "  0."},
      {-0.0, "  0."},
      {999999999.5, "  1.E+009"},  // rounding to nine digits reaches the exponent form
      {999999999.0, "  999999999."},
      {1.00125234864, "  1.00125235"},
      {0.0001, "  0.0001"},  // exponent -4 is still the fixed form
      {0.00001234, "  1.234E-005"},
      {1e100, "  1.E+100"},
      {-std::numeric_limits<double>::max(), " -1.79769313E+308"},
      {std::numeric_limits<double>::denorm_min(), "  4.94065646E-324"},
  };
  for (const auto& row : rows) EXPECT_EQ(list_double(row.value), row.text) << row.value;
}

TEST(FieldFormat, ListDirectedIntegers) {
  char out[16];
  EXPECT_EQ(std::string(out, format_list_integer(out, 2000)), " 2000");
  EXPECT_EQ(std::string(out, format_list_integer(out, -7)), " -7");
  EXPECT_EQ(std::string(out, format_list_integer(out, 0)), " 0");
}

// Exact halfway cases round to the even neighbour, as the C library does.
TEST(FieldFormat, TiesRoundToEven) {
  EXPECT_EQ(fixed(0.03125, 9, 4), "   0.0312");
  EXPECT_EQ(fixed(0.09375, 9, 4), "   0.0938");
  EXPECT_EQ(fixed(-0.03125, 9, 4), "  -0.0312");
  EXPECT_EQ(exponential(std::ldexp(1.0, -11), 15, 7), "  0.4882812E-03");  // 4.8828125e-4
  EXPECT_EQ(exponential(1234567.5, 15, 7), "  0.1234568E+07");
  EXPECT_EQ(exponential(1234568.5, 15, 7), "  0.1234568E+07");
}

// Every double renders as the correctly rounded reference does: random bit patterns (all
// magnitudes), values of the size the program prints, and multiples of 1/64 (many ties).
TEST(FieldFormat, AgreesWithTheCLibraryOnRandomDoubles) {
  std::mt19937_64 random(12345);
  std::uniform_real_distribution<double> typical(-20000.0, 20000.0);
  std::uniform_int_distribution<int> scale(-30, 12);
  for (int i = 0; i < 300000; ++i) {
    double v;
    switch (i % 3) {
      case 0:
        v = std::bit_cast<double>(random());
        break;
      case 1:
        v = typical(random) * std::pow(10.0, scale(random) / 3);
        break;
      default:
        v = static_cast<double>(static_cast<int>(random() % 2000000) - 1000000) / 64;
    }
    ASSERT_EQ(fixed(v, 8, 4), reference::fixed(v, 8, 4)) << v;
    ASSERT_EQ(fixed(v, 12, 4), reference::fixed(v, 12, 4)) << v;
    ASSERT_EQ(exponential(v, 15, 7), reference::exponential(v, 15, 7)) << v;
    if (i % 10 == 0) {
      ASSERT_EQ(list_double(v), reference::list_double(v)) << v;
    }
  }
}

}  // namespace
}  // namespace textio
