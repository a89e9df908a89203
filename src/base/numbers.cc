#include "base/numbers.h"

#include <charconv>
#include <cmath>
#include <cstddef>
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

// The value of the digit at p, or a number above 9 where there is none: one comparison.
unsigned digit_at(const char* p) {
  return static_cast<unsigned char>(*p) - unsigned{'0'};
}

}  // namespace

// Every text reader spends most of its time here: the loops advance one pointer and test each
// character once; counts come from pointer differences afterwards, and signs (which follow the
// record's wiggles, so no branch predictor foresees them) are taken without branches.
const char* scan_decimal(const char* p, const char* end, double& value) {
  const char* const start = p;
  const bool negative = p != end && *p == '-';
  p += p != end && (*p == '+' || *p == '-');
  std::uint64_t digits = 0;  // wraps beyond 19 digits, which then take the slow path
  const char* const first = p;
  for (unsigned d; p != end && (d = digit_at(p)) <= 9; ++p) digits = digits * 10 + d;
  std::ptrdiff_t count = p - first, fraction_digits = 0;
  if (p != end && *p == '.') {
    const char* const fraction = ++p;
    for (unsigned d; p != end && (d = digit_at(p)) <= 9; ++p) digits = digits * 10 + d;
    fraction_digits = p - fraction;
    count += fraction_digits;
  }
  if (count == 0) return nullptr;
  // An exponent of ten digits or more is held at 10^9, which no fast path takes.
  long exponent = 0;
  if (p != end && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')) {
    const char* e = p + 1;
    const bool negative_exponent = e != end && *e == '-';
    e += e != end && (*e == '+' || *e == '-');
    if (e == end || digit_at(e) > 9) return nullptr;
    for (unsigned d; e != end && (d = digit_at(e)) <= 9; ++e) {
      exponent = exponent > 99999999 ? 1000000000 : exponent * 10 + d;
    }
    exponent = negative_exponent ? -exponent : exponent;
    p = e;
  }
  const long power = exponent - static_cast<long>(fraction_digits);
  if (count <= 19 && digits <= (std::uint64_t{1} << 53) && power >= -22 && power <= 22) {
    // Both operands exact, so the one rounding of the division or product is the correctly
    // rounded value.
    const auto whole = static_cast<double>(digits);
    const double magnitude =
        power < 0 ? whole / exact_power_of_ten[-power] : whole * exact_power_of_ten[power];
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
