#include "base/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace base {

std::optional<double> parse_decimal(std::string_view text) {
  // std::from_chars takes neither a plus sign nor Fortran's D exponent.
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() ||
      !((digits.front() >= '0' && digits.front() <= '9') || digits.front() == '.'))
    return std::nullopt;
  char copy[64];
  const std::size_t d = digits.find_first_of("dD");
  if (d != std::string_view::npos) {
    if (digits.size() > sizeof copy) return std::nullopt;
    digits.copy(copy, digits.size());
    copy[d] = 'e';
    digits = std::string_view(copy, digits.size());
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
    return std::nullopt;
  return negative ? -value : value;
}

std::optional<long long> parse_integer(std::string_view text, long long low, long long high) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  long long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

void append_shortest(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string shortest(double value) {
  std::string s;
  append_shortest(s, value);
  return s;
}

}  // namespace base

namespace base {
namespace {

// 10^0 to 10^22: every one an exact double.
constexpr double exact_power_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

const char* scan_decimal(const char* p, const char* end, double& value) {
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
      parse_decimal(std::string_view(start, static_cast<std::size_t>(p - start)));
  if (!v) return nullptr;
  value = *v;
  return p;
}

}  // namespace base
