#include "spectra/grids.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "base/strings.h"

namespace spectra {
namespace {

using base::split;

bool number(std::string_view text, double& value) {
  const std::optional<double> v = base::parse_decimal(base::trim(text));
  if (v) value = *v;
  return v.has_value();
}

parsed_values error(std::string message) {
  return {{}, base::failure(std::move(message), base::code::usage)};
}

parsed_values list(std::string_view text, const char* what) {
  parsed_values result;
  for (std::string_view part : split(text, ',')) {
    double v = 0;
    if (!number(part, v)) return error("not a number: '" + std::string(part) + "'");
    result.values.push_back(v);
  }
  (void)what;
  return result;
}

}  // namespace

const std::vector<double>& nga_west2_periods() {
  static const std::vector<double> periods = {
      0.01,  0.02,  0.022, 0.025, 0.029, 0.03,  0.032, 0.035, 0.036, 0.04, 0.042, 0.044, 0.045,
      0.046, 0.048, 0.05,  0.055, 0.06,  0.065, 0.067, 0.07,  0.075, 0.08, 0.085, 0.09,  0.095,
      0.1,   0.11,  0.12,  0.13,  0.133, 0.14,  0.15,  0.16,  0.17,  0.18, 0.19,  0.2,   0.22,
      0.24,  0.25,  0.26,  0.28,  0.29,  0.3,   0.32,  0.34,  0.35,  0.36, 0.38,  0.4,   0.42,
      0.44,  0.45,  0.46,  0.48,  0.5,   0.55,  0.6,   0.65,  0.667, 0.7,  0.75,  0.8,   0.85,
      0.9,   0.95,  1,     1.1,   1.2,   1.3,   1.4,   1.5,   1.6,   1.7,  1.8,   1.9,   2,
      2.2,   2.4,   2.5,   2.6,   2.8,   3,     3.2,   3.4,   3.5,   3.6,  3.8,   4,     4.2,
      4.4,   4.6,   4.8,   5,     5.5,   6,     6.5,   7,     7.5,   8,    8.5,   9,     9.5,
      10,    11,    12,    13,    14,    15,    20};
  return periods;
}

parsed_values parse_periods(std::string_view text) {
  if (text == "nga-west2") return {nga_west2_periods(), {}};
  if (text == "gmm") {
    return {{0.01, 0.02, 0.03, 0.05, 0.075, 0.1, 0.15, 0.2, 0.25, 0.3, 0.4,
             0.5,  0.75, 1,    1.5,  2,     3,   4,    5,   7.5,  10},
            {}};
  }
  parsed_values result;
  if (text.substr(0, 4) == "log:") {
    const std::vector<std::string_view> parts = split(text.substr(4), ':');
    double first = 0, last = 0, count = 0;
    if (parts.size() != 3 || !number(parts[0], first) || !number(parts[1], last) ||
        !number(parts[2], count)) {
      return error("expected log:TMIN:TMAX:N, as in log:0.01:10:100");
    }
    if (count != std::floor(count) || count < 1 || count > 1e6) {
      return error("N must be a whole number from 1 to 1000000");
    }
    if (!(first > 0) || !(last >= first)) return error("periods must be positive, TMIN <= TMAX");
    const int n = static_cast<int>(count);
    if (n == 1 && first != last) return error("one period needs TMIN = TMAX");
    for (int i = 0; i < n; ++i) {
      const double fraction = n == 1 ? 0 : static_cast<double>(i) / (n - 1);
      result.values.push_back(
          i == n - 1 ? last
                     : std::exp(std::log(first) + fraction * (std::log(last) - std::log(first))));
    }
    result.values.front() = first;
    return result;
  }
  result = list(text, "period");
  if (!result.status.ok())
    return error(result.status.what + " (periods: nga-west2, gmm, a list or log:TMIN:TMAX:N)");
  if (base::status why = check_period_values(result.values); !why.ok()) return {{}, why};
  return result;
}

parsed_values parse_dampings(std::string_view text) {
  parsed_values result = list(text, "damping");
  if (!result.status.ok()) return result;
  if (base::status why = check_damping_values(result.values); !why.ok()) return {{}, why};
  return result;
}

parsed_values parse_tolerance(std::string_view text) {
  double v = 0;
  if (!number(text, v)) return error("not a number: '" + std::string(text) + "'");
  if (base::status why = check_tolerance(v); !why.ok()) return {{}, why};
  return {{v}, {}};
}

parsed_values parse_percentiles(std::string_view text) {
  parsed_values result = list(text, "percentile");
  if (!result.status.ok()) return result;
  const base::status checked = check_percentile_values(result.values);
  return checked.ok() ? result : parsed_values{.values = {}, .status = checked};
}

base::status check_period_values(std::span<const double> periods) {
  for (double t : periods) {
    if (!(t > 0)) return error("periods must be positive").status;
    if (!std::isfinite(t)) return error("periods must be finite").status;
  }
  return {};
}

base::status check_damping_values(std::span<const double> dampings) {
  for (double h : dampings) {
    if (!(h >= 0 && h < 1))
      return error("damping ratios are fractions from 0 up to (not) 1").status;
  }
  return {};
}

base::status check_percentile_values(std::span<const double> percentiles) {
  for (std::size_t i = 0; i < percentiles.size(); ++i) {
    const double p = percentiles[i];
    if (!(p >= 0 && p <= 100)) return error("percentiles are numbers from 0 to 100").status;
    if (std::find(percentiles.begin(), percentiles.begin() + static_cast<std::ptrdiff_t>(i), p) !=
        percentiles.begin() + static_cast<std::ptrdiff_t>(i)) {
      return error("the percentile " + base::shortest(p) + " is given twice").status;
    }
  }
  return {};
}

base::status check_tolerance(double tolerance) {
  if (!(tolerance > 0 && tolerance <= 0.01)) {
    return error("a tolerance is above 0 and at most 0.01").status;
  }
  return {};
}

}  // namespace spectra
