#include "spectra/inelastic/options.h"

#include <cmath>
#include <optional>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"

namespace spectra::inelastic {
namespace {

std::optional<double> number(std::string_view text) {
  return base::parse_decimal(base::trim(text));
}

parsed_values error(std::string message) {
  return {{}, base::failure(std::move(message), base::code::usage)};
}

// A comma list of numbers, each at least 1; what names them in the message.
parsed_values at_least_one(std::string_view text, const char* what) {
  parsed_values result;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    const std::optional<double> v = number(part);
    if (!v) return error("not a number: '" + std::string(part) + "'");
    if (!(*v >= 1)) return error(std::string(what) + " are 1 or more, not " + base::shortest(*v));
    result.values.push_back(*v);
    if (comma == std::string_view::npos) return result;
    text.remove_prefix(comma + 1);
  }
}

base::status each_at_least_one(std::span<const double> values, const char* what) {
  if (values.empty()) return base::failure(std::string("no ") + what, base::code::usage);
  for (const double v : values) {
    if (!(v >= 1 && std::isfinite(v))) {
      return base::failure(std::string(what) + " are 1 or more, not " + base::shortest(v),
                           base::code::usage);
    }
  }
  return {};
}

}  // namespace

parsed_values parse_ductilities(std::string_view text) {
  return at_least_one(text, "ductilities");
}

parsed_values parse_strength_ratios(std::string_view text) {
  return at_least_one(text, "strength ratios");
}

parsed_values parse_alpha(std::string_view text) {
  const std::optional<double> v = number(text);
  if (!v) return error("not a number: '" + std::string(text) + "'");
  if (!(*v >= 0 && *v < 1)) {
    return error("alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not " +
                 base::shortest(*v));
  }
  return {{*v}, {}};
}

base::status check_ductility_values(std::span<const double> values) {
  return each_at_least_one(values, "ductilities");
}

base::status check_strength_ratio_values(std::span<const double> values) {
  return each_at_least_one(values, "strength ratios");
}

base::status check_alpha_value(double alpha) {
  if (alpha >= 0 && alpha < 1) return {};
  return base::failure("alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not " +
                           base::shortest(alpha),
                       base::code::usage);
}

}  // namespace spectra::inelastic
