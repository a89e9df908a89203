// The rare paths of the field formatters, and the list-directed items.
#include "textio/fields.h"

#include <charconv>

namespace textio {

namespace decimal {
significant_digits round_by_to_chars(double magnitude, int count) {
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, count - 1)
          .ptr;
  significant_digits result{0, 0};
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') result.digits = result.digits * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, result.exponent);
  return result;
}
}  // namespace decimal

namespace field_detail {
char* fill_asterisks(char* out, int width) {
  std::memset(out, '*', static_cast<std::size_t>(width));
  return out + width;
}

char* place_special(char* out, int width, bool negative, const char* text) {
  const int text_length = static_cast<int>(std::strlen(text));
  const int length = text_length + (negative ? 1 : 0);
  if (length > width) return fill_asterisks(out, width);
  std::memset(out, ' ', static_cast<std::size_t>(width - length));
  out += width - length;
  if (negative) *out++ = '-';
  std::memcpy(out, text, static_cast<std::size_t>(text_length));
  return out + text_length;
}
}  // namespace field_detail

char* format_list_double(char* out, double value) {
  *out++ = ' ';
  *out++ = value < 0 ? '-' : ' ';
  if (std::isnan(value)) return static_cast<char*>(std::memcpy(out, "NAN", 3)) + 3;
  if (std::isinf(value)) return static_cast<char*>(std::memcpy(out, "INF", 3)) + 3;
  if (value == 0) {
    *out++ = '0';
    *out++ = '.';
    return out;
  }
  constexpr int precision = 9;
  const decimal::significant_digits d = decimal::round_to_significant(std::fabs(value), precision);
  char digits[precision];
  decimal::write_digits_backward(digits + precision, d.digits, precision);
  int significant = precision;  // trailing zeros of the fraction are not shown
  while (significant > 1 && digits[significant - 1] == '0') --significant;

  const int x = d.exponent;
  if (x < -4 || x >= precision) {
    *out++ = digits[0];
    *out++ = '.';
    for (int i = 1; i < significant; ++i) *out++ = digits[i];
    *out++ = 'E';
    *out++ = x < 0 ? '-' : '+';
    decimal::write_digits_backward(out + 3, static_cast<std::uint64_t>(x < 0 ? -x : x), 3);
    return out + 3;
  }
  if (x < 0) {
    *out++ = '0';
    *out++ = '.';
    for (int i = 0; i < -x - 1; ++i) *out++ = '0';
    for (int i = 0; i < significant; ++i) *out++ = digits[i];
    return out;
  }
  for (int i = 0; i <= x; ++i) *out++ = digits[i];
  *out++ = '.';
  for (int i = x + 1; i < significant; ++i) *out++ = digits[i];
  return out;
}

char* format_list_integer(char* out, std::int32_t value) {
  *out++ = ' ';
  return std::to_chars(out, out + 11, value).ptr;
}

}  // namespace textio
