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

template <int w, int d>
std::string fixed(double v) {
  char out[w + 1];
  return {out, format_fixed<w, d>(out, v)};
}
template <int w, int d>
std::string exponential(double v) {
  char out[w + 1];
  return {out, format_exponential<w, d>(out, v)};
}
std::string e11_7(double v) {
  return exponential<11, 7>(v);
}
std::string e12_7(double v) {
  return exponential<12, 7>(v);
}
std::string e15_7(double v) {
  return exponential<15, 7>(v);
}
std::string f3_1(double v) {
  return fixed<3, 1>(v);
}
std::string f5_4(double v) {
  return fixed<5, 4>(v);
}
std::string f6_4(double v) {
  return fixed<6, 4>(v);
}
std::string f8_4(double v) {
  return fixed<8, 4>(v);
}
std::string f9_4(double v) {
  return fixed<9, 4>(v);
}
std::string f12_4(double v) {
  return fixed<12, 4>(v);
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
    EXPECT_EQ(f8_4(row.value), row.f8_4);
    EXPECT_EQ(f9_4(row.value), row.f9_4);
    EXPECT_EQ(f12_4(row.value), row.f12_4);
    EXPECT_EQ(e15_7(row.value), row.e15_7);
  }
}

TEST(FieldFormat, RangeLimitsOfFixedFields) {
  EXPECT_EQ(f8_4(999.9999), "999.9999");
  EXPECT_EQ(f8_4(999.99995), "********");  // rounds to 1000.0000
  EXPECT_EQ(f8_4(-99.9999), "-99.9999");
  EXPECT_EQ(f8_4(-100.0), "********");
  EXPECT_EQ(f9_4(9999.9999), "9999.9999");
  EXPECT_EQ(f9_4(-999.9999), "-999.9999");
  EXPECT_EQ(f8_4(1000.0), "********");  // a time of 1000 s in F8.4
  EXPECT_EQ(f12_4(9999999.9999), "9999999.9999");
  EXPECT_EQ(f12_4(-999999.9999), "-999999.9999");
  EXPECT_EQ(f12_4(1e300), "************");
  EXPECT_EQ(f9_4(std::numeric_limits<double>::denorm_min()), "   0.0000");
}

TEST(FieldFormat, NarrowFieldsDropTheLeadingZeroOrOverflow) {
  EXPECT_EQ(f5_4(0.5), ".5000");   // "0.5000" is one too long: the zero goes
  EXPECT_EQ(f5_4(-0.5), "*****");  // two too long
  EXPECT_EQ(f6_4(-0.5), "-.5000");
  EXPECT_EQ(e12_7(0.5), ".5000000E+00");   // w = d + 5: no leading zero
  EXPECT_EQ(e12_7(-0.5), "************");  // w < d + 6 with a sign
  EXPECT_EQ(e11_7(0.5), "***********");
}

TEST(FieldFormat, InfinitiesAndNotANumbers) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(f9_4(inf), "      inf");
  EXPECT_EQ(f9_4(-inf), "     -inf");
  EXPECT_EQ(f9_4(nan), "      nan");
  EXPECT_EQ(f8_4(-nan), "     nan");  // a not-a-number is never negative
  EXPECT_EQ(f3_1(-inf), "***");
  EXPECT_EQ(e15_7(inf), "            INF");
  EXPECT_EQ(e15_7(-inf), "           -INF");
  EXPECT_EQ(e15_7(nan), "            NAN");
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
  EXPECT_EQ(f9_4(0.03125), "   0.0312");
  EXPECT_EQ(f9_4(0.09375), "   0.0938");
  EXPECT_EQ(f9_4(-0.03125), "  -0.0312");
  EXPECT_EQ(e15_7(std::ldexp(1.0, -11)), "  0.4882812E-03");  // 4.8828125e-4
  EXPECT_EQ(e15_7(1234567.5), "  0.1234568E+07");
  EXPECT_EQ(e15_7(1234568.5), "  0.1234568E+07");
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
    ASSERT_EQ(f8_4(v), reference::fixed(v, 8, 4)) << v;
    ASSERT_EQ(f12_4(v), reference::fixed(v, 12, 4)) << v;
    ASSERT_EQ(e15_7(v), reference::exponential(v, 15, 7)) << v;
    if (i % 10 == 0) {
      ASSERT_EQ(list_double(v), reference::list_double(v)) << v;
    }
  }
}

// Values a few ulps around the points where rounding changes (the halfway points of four
// decimals, of seven and of nine significant digits): where a fast path must hand over to
// exact arithmetic.
TEST(FieldFormat, AgreesWithTheCLibraryNearHalfwayPoints) {
  std::mt19937_64 random(99);
  for (int i = 0; i < 20000; ++i) {
    const double fixed_halfway = (static_cast<double>(random() % 100000000) + 0.5) / 1e4;
    const double scale = std::pow(10.0, static_cast<double>(static_cast<int>(random() % 40) - 26));
    const double seven_digit_halfway =
        (static_cast<double>(1000000 + random() % 9000000) + 0.5) * scale;
    const double nine_digit_halfway =
        (static_cast<double>(100000000 + random() % 900000000) + 0.5) * scale;
    for (double center : {fixed_halfway, seven_digit_halfway, nine_digit_halfway}) {
      double v = center;
      for (int k = 0; k < 4; ++k) v = std::nextafter(v, 0.0);
      for (int k = 0; k < 9; ++k, v = std::nextafter(v, 1e300)) {
        for (double signed_v : {v, -v}) {
          ASSERT_EQ(f9_4(signed_v), reference::fixed(signed_v, 9, 4)) << signed_v;
          ASSERT_EQ(f12_4(signed_v), reference::fixed(signed_v, 12, 4)) << signed_v;
          ASSERT_EQ(e15_7(signed_v), reference::exponential(signed_v, 15, 7)) << signed_v;
          ASSERT_EQ(list_double(signed_v), reference::list_double(signed_v)) << signed_v;
        }
      }
    }
  }
}

}  // namespace
}  // namespace textio
