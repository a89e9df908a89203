// Slow, obviously correct field rendering on top of the C library's printf, to check the fast
// formatters against: the same field rules, digits from snprintf.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace reference {

inline std::string right_justified(std::string text, int width) {
  if (static_cast<int>(text.size()) > width)
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Fw.d from "%.*f".
inline std::string fixed(double value, int width, int decimals) {
  if (std::isnan(value)) return right_justified("nan", width);
  if (std::isinf(value)) return right_justified(value < 0 ? "-inf" : "inf", width);
  char printed[512];
  std::snprintf(printed, sizeof printed, "%.*f", decimals, std::fabs(value));
  std::string digits = printed;
  const bool negative = value < 0 && digits.find_first_of("123456789") != std::string::npos;
  const std::size_t n = digits.size() + (negative ? 1 : 0);
  std::string text = negative ? "-" : "";
  if (n > static_cast<std::size_t>(width)) {
    if (digits[0] != '0' || n - 1 != static_cast<std::size_t>(width)) {
      return std::string(static_cast<std::size_t>(width), '*');
    }
    digits.erase(0, 1);
  }
  text += digits;
  return right_justified(text, width);
}

// Ew.d from "%.*E": the mantissa moved to [0.1, 1).
inline std::string exponential(double value, int width, int decimals) {
  if (std::isnan(value)) return right_justified("NAN", width);
  if (std::isinf(value)) return right_justified(value < 0 ? "-INF" : "INF", width);
  char text[64];
  std::snprintf(text, sizeof text, "%.*E", decimals - 1, std::fabs(value));
  std::string s = text;
  const std::size_t e = s.find('E');
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  int exponent = std::atoi(s.c_str() + e + 1) + 1;
  if (value == 0) exponent = 0;
  const int magnitude = std::abs(exponent);
  char exponent_text[16];
  if (magnitude <= 99) {
    std::snprintf(exponent_text, sizeof exponent_text, "E%c%02d", exponent < 0 ? '-' : '+',
                  magnitude);
  } else {
    std::snprintf(exponent_text, sizeof exponent_text, "%c%03d", exponent < 0 ? '-' : '+',
                  magnitude);
  }
  const bool negative = value < 0;
  const int bare = (negative ? 1 : 0) + decimals + 5;
  if (width < bare) return std::string(static_cast<std::size_t>(width), '*');
  std::string field =
      std::string(negative ? "-" : "") + (width > bare ? "0." : ".") + digits + exponent_text;
  return right_justified(field, width);
}

// A list-directed double from "%.9G": a point always, a three-digit exponent.
inline std::string list_double(double value) {
  std::string out = " ";
  out += value < 0 ? '-' : ' ';
  if (std::isnan(value)) return out + "NAN";
  if (std::isinf(value)) return out + "INF";
  if (value == 0) return out + "0.";
  char text[64];
  std::snprintf(text, sizeof text, "%.9G", std::fabs(value));
  std::string s = text;
  const std::size_t e = s.find('E');
  std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
  if (mantissa.find('.') == std::string::npos) mantissa += '.';
  if (e == std::string::npos) return out + mantissa;
  const int exponent = std::atoi(s.c_str() + e + 1);
  char exponent_text[16];
  std::snprintf(exponent_text, sizeof exponent_text, "E%c%03d", exponent < 0 ? '-' : '+',
                std::abs(exponent));
  return out + mantissa + exponent_text;
}

}  // namespace reference
