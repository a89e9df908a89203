// Exact decimal rounding of doubles: a finite double is m * 2^e, so its value times a power of
// ten, rounded to an integer, is integer arithmetic on at most 128 bits. Ties go to even, as
// in the C library's printf.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace textio::decimal {

// GCC and clang extension; the 64x64-bit products need it.
__extension__ typedef unsigned __int128 u128;

inline constexpr std::uint64_t power_of_ten[20] = {1u,
                                                   10u,
                                                   100u,
                                                   1000u,
                                                   10000u,
                                                   100000u,
                                                   1000000u,
                                                   10000000u,
                                                   100000000u,
                                                   1000000000u,
                                                   10000000000u,
                                                   100000000000u,
                                                   1000000000000u,
                                                   10000000000000u,
                                                   100000000000000u,
                                                   1000000000000000u,
                                                   10000000000000000u,
                                                   100000000000000000u,
                                                   1000000000000000000u,
                                                   10000000000000000000u};

// A finite positive double as mantissa * 2^exponent.
struct binary_value {
  std::uint64_t mantissa;
  int exponent;
};

inline binary_value decompose(double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074};
  return {fraction | (std::uint64_t{1} << 52), biased - 1075};
}

// quotient + remainder/divisor rounded to nearest, ties to the even quotient.
inline u128 round_half_even(u128 quotient, u128 twice_remainder, u128 divisor) {
  if (twice_remainder > divisor || (twice_remainder == divisor && (quotient & 1))) ++quotient;
  return quotient;
}

// The value times 10^p rounded to an integer; false when the exact operands do not fit 128
// bits (the caller then takes a slower exact path, or knows the value is too large).
inline bool scale_and_round(binary_value v, int p, u128& result) {
  if (p >= 0) {
    if (p > 22) return false;
    const u128 power =
        p < 20 ? u128{power_of_ten[p]} : u128{power_of_ten[19]} * power_of_ten[p - 19];
    const u128 scaled = u128{v.mantissa} * power;  // < 2^127
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

// The correctly rounded significant digits of a finite, nonzero magnitude:
// magnitude ~ digits * 10^(exponent - count + 1), with 10^(count-1) <= digits < 10^count.
struct significant_digits {
  std::uint64_t digits;
  int exponent;  // of the leading digit, as printf's %E shows it
};

// Far outside the usual magnitudes, by std::to_chars (exact as well).
significant_digits round_by_to_chars(double magnitude, int count);

inline constexpr double exact_power_of_ten[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The fast way to round magnitude * 10^p: 10^p is an exact double for |p| <= 22, so y, the
// product (or quotient) in floating point, is the exact value rounded once. Below 2^34 that
// error is under 2^-20, and rounding y to an integer gives the exact result unless y lies
// within the error of a half-integer. Those cases (ties among them) are left to the exact
// integer path: false.
inline bool round_scaled_by_floating_point(double magnitude, int p, std::uint64_t& n) {
  if (p < -22 || p > 22) return false;
  const double y = p >= 0 ? magnitude * exact_power_of_ten[p] : magnitude / exact_power_of_ten[-p];
  if (!(y < 0x1p34)) return false;
  const double fraction = y - static_cast<double>(static_cast<std::uint64_t>(y));  // exact
  if (std::fabs(fraction - 0.5) < 0x1p-14) return false;
  // Exact enough now: y + 0.5 can only round across an integer near a half-integer of y.
  n = static_cast<std::uint64_t>(y + 0.5);
  return true;
}

// Powers of ten as the nearest doubles, 10^-16 to 10^30.
inline constexpr int decade_first = -16;
inline constexpr int decade_last = 30;
inline constexpr double decades[] = {
    1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5,
    1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,  1e4,  1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15, 1e16, 1e17, 1e18, 1e19,
    1e20,  1e21,  1e22,  1e23,  1e24,  1e25,  1e26,  1e27, 1e28, 1e29, 1e30};
static_assert(sizeof decades / sizeof decades[0] == decade_last - decade_first + 1);

// count <= 17.
inline significant_digits round_to_significant(double magnitude, int count) {
  const binary_value v = decompose(magnitude);
  // floor(log2 * log10(2)), exact over the whole double range: the leading decimal exponent
  // is k or k + 1.
  const int log2 = v.exponent + 63 - std::countl_zero(v.mantissa);
  int k = (log2 * 315653) >> 20;
  if (count <= 9 && k >= decade_first && k < decade_last) {
    // The decade from a comparison: a power of ten off by its last bit only misplaces values
    // that round to that power anyway.
    const int decade = k + (magnitude >= decades[k + 1 - decade_first] ? 1 : 0);
    std::uint64_t fast;
    if (round_scaled_by_floating_point(magnitude, count - 1 - decade, fast)) {
      if (fast < power_of_ten[count]) return {fast, decade};
      if (fast == power_of_ten[count]) return {power_of_ten[count - 1], decade + 1};
    }
  }
  u128 n;
  if (!scale_and_round(v, count - 1 - k, n)) return round_by_to_chars(magnitude, count);
  if (n >= power_of_ten[count]) {
    // The leading exponent is k + 1. The estimate falls short only for magnitudes below
    // 2^(log2 + 1) < 2 * 10^(k + 1), which cannot round up to 10^(k + 2): no carry follows.
    ++k;
    if (!scale_and_round(v, count - 1 - k, n)) return round_by_to_chars(magnitude, count);
  }
  return {static_cast<std::uint64_t>(n), k};
}

inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly `count` decimal digits of n, zero-padded, ending at `end`; returns the start.
// Four digits per step keep the chain of divisions short.
inline char* write_digits_backward(char* end, std::uint64_t n, int count) {
  for (; count >= 4; count -= 4) {
    const auto block = static_cast<std::uint32_t>(n % 10000);
    n /= 10000;
    end -= 4;
    std::memcpy(end, digit_pairs + 2 * (block / 100), 2);
    std::memcpy(end + 2, digit_pairs + 2 * (block % 100), 2);
  }
  auto small = static_cast<std::uint32_t>(n);
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, digit_pairs + 2 * (small % 100), 2);
    small /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + small % 10);
  return end;
}

// The number of decimal digits of n, at least one.
inline int digit_count(std::uint64_t n) {
  // From the bit length: floor(log10(2^bits)) or one more (1233 / 4096 ~ log10 2).
  const int estimate = ((64 - std::countl_zero(n | 1)) * 1233) >> 12;
  return estimate + ((n | 1) >= power_of_ten[estimate] ? 1 : 0);
}

}  // namespace textio::decimal
