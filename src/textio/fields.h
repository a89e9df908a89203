// Rendering of single numbers: the fixed (Fw.d) and exponential (Ew.d) fields of formatted
// records and the items of list-directed records. Every result is the correctly rounded
// decimal of the double, ties to even, as the C library's printf gives it. Field widths are
// template arguments: the formats of the program are fixed, and constant widths let the
// compiler build each field with a few stores.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "textio/decimal.h"

namespace textio {

// Longest list-directed double: " -1.23456789E+100".
inline constexpr int list_double_max = 17;

namespace field_detail {
// An infinity or a not-a-number right-justified in the field, or asterisks if it does not fit.
char* place_special(char* out, int width, bool negative, const char* text);
char* fill_asterisks(char* out, int width);
}  // namespace field_detail

// Fw.d: the magnitude with d decimals, right-justified, a minus sign only for a value that
// shows a nonzero digit, w asterisks when it does not fit. Writes exactly w characters.
template <int width, int decimals>
char* format_fixed(char* out, double value) {
  // Up to 20 characters, every value that fits has at most 19 digits: 64-bit integers.
  static_assert(width >= 1 && width <= 20 && decimals >= 0 && decimals <= 9);
  if (!std::isfinite(value)) [[unlikely]] {
    return field_detail::place_special(out, width, value < 0, std::isnan(value) ? "nan" : "inf");
  }
  std::uint64_t n = 0;
  if (value != 0 && !decimal::round_scaled_by_floating_point(std::fabs(value), decimals, n)) {
    decimal::u128 scaled = 0;
    if (!decimal::scale_and_round(decimal::decompose(std::fabs(value)), decimals, scaled) ||
        scaled >= decimal::power_of_ten[19]) {
      return field_detail::fill_asterisks(out, width);  // 20 digits never fit 20 characters
    }
    n = static_cast<std::uint64_t>(scaled);
  }
  constexpr std::uint64_t unit = decimal::power_of_ten[decimals];
  const std::uint64_t integer = n / unit;
  const int integer_digits = decimal::digit_count(integer);
  // A negative value that rounds to zero prints without its sign.
  const bool negative = value < 0 && n != 0;
  bool leading_zero = true;
  if (integer_digits + 1 + decimals + (negative ? 1 : 0) > width) {
    // The one overflow that still fits: a leading "0." loses its zero.
    if (integer != 0 || integer_digits + decimals + (negative ? 1 : 0) != width) {
      return field_detail::fill_asterisks(out, width);
    }
    leading_zero = false;
  }
  // Right to left, straight into the field: decimals, point, integer part, sign.
  std::memset(out, ' ', width);
  char* start = decimal::write_digits_backward(out + width, n % unit, decimals);
  *--start = '.';
  if (leading_zero) start = decimal::write_digits_backward(start, integer, integer_digits);
  if (negative) start[-1] = '-';
  return out + width;
}

// Ew.d: "0." and d significant digits, then the exponent as "E+dd" or, beyond 99, "+ddd".
// Writes exactly w characters.
template <int width, int decimals>
char* format_exponential(char* out, double value) {
  static_assert(width >= 1 && width <= 24 && decimals >= 1 && decimals <= 9);
  if (!std::isfinite(value)) [[unlikely]] {
    return field_detail::place_special(out, width, value < 0, std::isnan(value) ? "NAN" : "INF");
  }
  const bool negative = value < 0;
  decimal::significant_digits d{0, -1};  // zero prints with the exponent 0
  if (value != 0) d = decimal::round_to_significant(std::fabs(value), decimals);
  const int exponent = d.exponent + 1;  // for a mantissa in [0.1, 1)
  const int bare_length = (negative ? 1 : 0) + decimals + 5;
  if (width < bare_length) return field_detail::fill_asterisks(out, width);

  // Left to right, straight into the field.
  if (width > bare_length) {
    std::memset(out, ' ', width - bare_length - 1);
    out += width - bare_length - 1;
  }
  if (negative) *out++ = '-';
  if (width > bare_length) *out++ = '0';
  *out++ = '.';
  out = decimal::write_digits_backward(out + decimals, d.digits, decimals) + decimals;
  const auto magnitude = static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent);
  if (magnitude <= 99) *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  const int exponent_digits = magnitude <= 99 ? 2 : 3;
  decimal::write_digits_backward(out + exponent_digits, magnitude, exponent_digits);
  return out + exponent_digits;
}

// A double item of a list-directed record: a blank, a sign position, then nine significant
// digits in the shorter of the fixed and exponent forms, always with a decimal point.
// Writes 4 to 17 characters and returns the end.
char* format_list_double(char* out, double value);

// An integer item of a list-directed record: a blank and the digits. Returns the end.
char* format_list_integer(char* out, std::int32_t value);

}  // namespace textio
