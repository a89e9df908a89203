// Numbers as text, both ways, with one rule everywhere: a decimal is an optional sign (+ or -),
// digits with an optional point, an optional exponent (E, e, D or d, as Fortran writes it), and
// nothing else; the shortest text of a double is the one that reads back as the same double.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace base {

// The whole text as a finite number; nothing when it is anything else (blanks included).
std::optional<double> parse_decimal(std::string_view text);

// The whole text as a whole number in [low, high] (an optional sign, digits); nothing else.
std::optional<long long> parse_integer(std::string_view text, long long low, long long high);

// The shortest text that reads back as the same double ("0.1", "1e-07", "-0").
std::string shortest(double value);
void append_shortest(std::string& out, double value);

}  // namespace base

namespace base {

// A number at the start of [p, end): sign, digits, point, exponent (E, e, D, d), as
// parse_decimal takes them. Returns the end of the number, or nullptr when none starts there
// (value unchanged) or it is not finite. Plain numbers of up to 19 digits are gathered as one
// integer and scaled by one exact operation: the hot path of every text reader.
const char* scan_decimal(const char* p, const char* end, double& value);

}  // namespace base
