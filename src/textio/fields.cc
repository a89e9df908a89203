// Exact decimal rendering without printf: a double is m * 2^e, so scaling it by a power of ten
// and rounding is integer arithmetic on at most 128 bits. Magnitudes outside that reach take
// std::to_chars, which is exact as well but slower.
#include "textio/fields.h"

#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

namespace textio {
namespace {

// GCC and clang extension; the 64x64-bit products need it.
__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t power_of_ten[20] = {1,
                                            10,
                                            100,
                                            1000,
                                            10000,
                                            100000,
                                            1000000,
                                            10000000,
                                            100000000,
                                            1000000000,
                                            10000000000,
                                            100000000000,
                                            1000000000000,
                                            10000000000000,
                                            100000000000000,
                                            1000000000000000,
                                            10000000000000000,
                                            100000000000000000,
                                            1000000000000000000,
                                            10000000000000000000u};

constexpr u128 power_of_ten_wide(int p) {
  return p < 20 ? u128{power_of_ten[p]} : u128{power_of_ten[19]} * power_of_ten[p - 19];
}

// A finite positive double as mantissa * 2^exponent.
struct binary_value {
  std::uint64_t mantissa;
  int exponent;
};

binary_value decompose(double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// floor(e * log10(2)), exact for |e| <= 2620.
int floor_log10_pow2(int e) {
  return (e * 315653) >> 20;
}

// quotient + remainder/divisor rounded to nearest, ties to the even quotient.
u128 round_half_even(u128 quotient, u128 twice_remainder, u128 divisor) {
  if (twice_remainder > divisor || (twice_remainder == divisor && (quotient & 1))) ++quotient;
  return quotient;
}

// The value times 10^p rounded to an integer, ties to even; false when the exact operands do
// not fit 128 bits (the caller then takes the slow exact path).
bool scale_and_round(binary_value v, int p, u128& result) {
  if (p >= 0) {
    if (p > 22) return false;
    const u128 scaled = u128{v.mantissa} * power_of_ten_wide(p);  // < 2^127
    if (v.exponent >= 0) {
      if (v.exponent >= 127 || (scaled >> (127 - v.exponent)) != 0) return false;
      result = scaled << v.exponent;
      return true;
    }
    const int shift = -v.exponent;
    if (shift >= 128) {  // far below one half
      result = 0;
      return true;
    }
    const u128 quotient = scaled >> shift;
    const u128 remainder = scaled - (quotient << shift);
    result = round_half_even(quotient, remainder << 1, u128{1} << shift);
    return true;
  }
  if (-p > 19) return false;
  const std::uint64_t divisor = power_of_ten[-p];
  if (v.exponent >= 0) {
    if (v.exponent > 74) return false;
    const u128 whole = u128{v.mantissa} << v.exponent;
    result = round_half_even(whole / divisor, (whole % divisor) << 1, divisor);
    return true;
  }
  const int shift = -v.exponent;
  if (shift > 60) return false;
  const std::uint64_t whole = v.mantissa >> shift;
  const std::uint64_t fraction = v.mantissa & ((std::uint64_t{1} << shift) - 1);
  const u128 remainder = (u128{whole % divisor} << shift) + fraction;
  result = round_half_even(whole / divisor, remainder << 1, u128{divisor} << shift);
  return true;
}

decimal_digits round_with_to_chars(double magnitude, int count) {
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, count - 1)
          .ptr;
  decimal_digits result{0, 0};
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') result.digits = result.digits * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  std::from_chars(p + (p[1] == '+' ? 2 : 1), end, result.exponent);
  return result;
}

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly `count` decimal digits of n (zero-padded on the left) ending at `end`.
void write_digits_backward(char* end, std::uint64_t n, int count) {
  while (count >= 2) {
    const auto pair = static_cast<std::size_t>(n % 100) * 2;
    n /= 100;
    *--end = digit_pairs[pair + 1];
    *--end = digit_pairs[pair];
    count -= 2;
  }
  if (count == 1) *--end = static_cast<char>('0' + n % 10);
}

int digit_count(std::uint64_t n) {
  int count = 1;
  while (count < 20 && n >= power_of_ten[count]) ++count;
  return count;
}

char* fill(char* out, char c, int count) {
  std::memset(out, c, static_cast<std::size_t>(count));
  return out + count;
}

// A text that is not a number (inf, nan) right-justified, or asterisks if it does not fit.
char* place_right(char* out, int width, bool negative, const char* text) {
  const int length = static_cast<int>(std::strlen(text)) + (negative ? 1 : 0);
  if (length > width) return fill(out, '*', width);
  out = fill(out, ' ', width - length);
  if (negative) *out++ = '-';
  std::memcpy(out, text, std::strlen(text));
  return out + std::strlen(text);
}

}  // namespace

decimal_digits round_to_significant(double magnitude, int count) {
  assert(magnitude > 0 && std::isfinite(magnitude) && count >= 1 && count <= 17);
  const binary_value v = decompose(magnitude);
  // The leading decimal exponent is k or k + 1.
  int k = floor_log10_pow2(v.exponent + 63 - std::countl_zero(v.mantissa));
  u128 n;
  if (!scale_and_round(v, count - 1 - k, n)) return round_with_to_chars(magnitude, count);
  if (n >= power_of_ten[count]) {
    ++k;
    if (!scale_and_round(v, count - 1 - k, n)) return round_with_to_chars(magnitude, count);
  }
  if (n == power_of_ten[count]) {  // 9.99...95 rounds up into the next decade
    n = power_of_ten[count - 1];
    ++k;
  }
  return {static_cast<std::uint64_t>(n), k};
}

char* format_fixed(char* out, double value, int width, int decimals) {
  assert(width >= 1 && width <= field_width_max && decimals >= 0 && decimals <= 9);
  if (std::isnan(value)) return place_right(out, width, false, "nan");
  if (std::isinf(value)) return place_right(out, width, value < 0, "inf");

  u128 scaled = 0;
  if (value != 0 && (!scale_and_round(decompose(std::fabs(value)), decimals, scaled) ||
                     scaled >= power_of_ten[19])) {
    return fill(out, '*', width);  // 20 digits or more never fit
  }
  const auto n = static_cast<std::uint64_t>(scaled);
  // A negative value that rounds to zero prints without its sign.
  const bool negative = value < 0 && n != 0;
  const int digits = std::max(digit_count(n), decimals + 1);
  const int text_length = digits + 1;
  int length = text_length + (negative ? 1 : 0);
  bool drop_leading_zero = false;
  if (length > width) {
    // The one overflow that still fits: a leading "0." loses its zero.
    if (digits != decimals + 1 || n >= power_of_ten[decimals] || length - 1 != width) {
      return fill(out, '*', width);
    }
    drop_leading_zero = true;
    --length;
  }
  out = fill(out, ' ', width - length);
  if (negative) *out++ = '-';
  char text[24];
  char* end = text + text_length;
  write_digits_backward(end, n % power_of_ten[decimals], decimals);
  end[-decimals - 1] = '.';
  write_digits_backward(end - decimals - 1, n / power_of_ten[decimals], digits - decimals);
  const char* start = drop_leading_zero ? text + 1 : text;
  std::memcpy(out, start, static_cast<std::size_t>(end - start));
  return out + (end - start);
}

char* format_exponential(char* out, double value, int width, int decimals) {
  assert(width >= 1 && width <= field_width_max && decimals >= 1 && decimals <= 9);
  if (std::isnan(value)) return place_right(out, width, false, "NAN");
  if (std::isinf(value)) return place_right(out, width, value < 0, "INF");

  const bool negative = value < 0;
  decimal_digits d{0, -1};  // zero prints with the exponent 0
  if (value != 0) d = round_to_significant(std::fabs(value), decimals);
  const int exponent = d.exponent + 1;  // for a mantissa in [0.1, 1)

  const int bare_length = (negative ? 1 : 0) + decimals + 5;
  if (width < bare_length) return fill(out, '*', width);
  if (width > bare_length) out = fill(out, ' ', width - bare_length - 1);
  if (negative) *out++ = '-';
  if (width > bare_length) *out++ = '0';
  *out++ = '.';
  write_digits_backward(out + decimals, d.digits, decimals);
  out += decimals;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude <= 99) *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  const int exponent_digits = magnitude <= 99 ? 2 : 3;
  write_digits_backward(out + exponent_digits, static_cast<std::uint64_t>(magnitude),
                        exponent_digits);
  return out + exponent_digits;
}

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
  const decimal_digits d = round_to_significant(std::fabs(value), precision);
  char digits[precision];
  write_digits_backward(digits + precision, d.digits, precision);
  int significant = precision;  // trailing zeros of the fraction are not shown
  while (significant > 1 && digits[significant - 1] == '0') --significant;

  const int x = d.exponent;
  if (x < -4 || x >= precision) {
    *out++ = digits[0];
    *out++ = '.';
    for (int i = 1; i < significant; ++i) *out++ = digits[i];
    *out++ = 'E';
    *out++ = x < 0 ? '-' : '+';
    write_digits_backward(out + 3, static_cast<std::uint64_t>(x < 0 ? -x : x), 3);
    return out + 3;
  }
  if (x < 0) {
    *out++ = '0';
    *out++ = '.';
    out = fill(out, '0', -x - 1);
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
