// Rendering of single numbers: the fixed (Fw.d) and exponential (Ew.d) fields of formatted
// records and the items of list-directed records. Every result is the correctly rounded
// decimal of the double, ties to even, as a C library's printf gives it.
#pragma once

#include <cstdint>

namespace textio {

// Longest list-directed double: " -1.23456789E+100".
inline constexpr int list_double_max = 17;
// Widest field the fixed and exponential formatters accept.
inline constexpr int field_width_max = 20;

// Fw.d: the magnitude with d decimals, right-justified in w characters, a minus sign only for
// a value that shows a nonzero digit, w asterisks when it does not fit. w <= 20, d <= 9.
// Writes exactly w characters and returns the end.
char* format_fixed(char* out, double value, int width, int decimals);

// Ew.d: "0." and d significant digits, then the exponent as "E+dd" or, beyond 99, "+ddd".
// w <= 20, 1 <= d <= 9. Writes exactly w characters and returns the end.
char* format_exponential(char* out, double value, int width, int decimals);

// A double item of a list-directed record: a blank, a sign position, then nine significant
// digits in the shorter of the fixed and exponent forms, always with a decimal point.
// Writes 4 to 17 characters and returns the end.
char* format_list_double(char* out, double value);

// An integer item of a list-directed record: a blank and the digits. Returns the end.
char* format_list_integer(char* out, std::int32_t value);

// The correctly rounded significant digits of a finite, nonzero magnitude:
// magnitude ~ digits * 10^(exponent - count + 1), with 10^(count-1) <= digits < 10^count.
// count <= 17.
struct decimal_digits {
  std::uint64_t digits;
  int exponent;  // of the leading digit, as printf's %E shows it
};
decimal_digits round_to_significant(double magnitude, int count);

}  // namespace textio
