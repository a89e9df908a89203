// The decimal scanner as the text readers had it before it was tightened for speed: two counters
// a digit, plainly written. The fast scanner must give the same end and the same bits for every
// input.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/numbers.h"

namespace reference {

inline const char* scan_decimal(const char* p, const char* end, double& value) {
  constexpr double exact_power_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const auto is_digit = [](char c) { return c >= '0' && c <= '9'; };
  const char* const start = p;
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '+' || *p == '-')) ++p;
  std::uint64_t digits = 0;
  int count = 0, fraction_digits = 0;
  for (; p < end && is_digit(*p); ++p, ++count) {
    digits = digits * 10 + static_cast<unsigned>(*p - '0');
  }
  if (p < end && *p == '.') {
    for (++p; p < end && is_digit(*p); ++p, ++count, ++fraction_digits) {
      digits = digits * 10 + static_cast<unsigned>(*p - '0');
    }
  }
  if (count == 0) return nullptr;
  long exponent = 0;
  bool exponent_too_long = false;
  if (p < end && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')) {
    const char* e = p + 1;
    const bool negative_exponent = e < end && *e == '-';
    if (e < end && (*e == '+' || *e == '-')) ++e;
    if (!(e < end && is_digit(*e))) return nullptr;
    for (; e < end && is_digit(*e); ++e) {
      if (exponent > 99999999)
        exponent_too_long = true;
      else
        exponent = exponent * 10 + (*e - '0');
    }
    if (negative_exponent) exponent = -exponent;
    p = e;
  }
  const long power = exponent - fraction_digits;
  if (count <= 19 && !exponent_too_long && digits <= (std::uint64_t{1} << 53) && power >= -22 &&
      power <= 22) {
    const auto whole = static_cast<double>(digits);
    const double scale = exact_power_of_ten[power < 0 ? -power : power];
    const double magnitude = digits == 0 ? 0.0 : power < 0 ? whole / scale : whole * scale;
    value = negative ? -magnitude : magnitude;
    return p;
  }
  const std::optional<double> v =
      base::parse_decimal(std::string_view(start, static_cast<std::size_t>(p - start)));
  if (!v) return nullptr;
  value = *v;
  return p;
}

}  // namespace reference
