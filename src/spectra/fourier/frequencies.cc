#include "spectra/fourier/frequencies.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"

namespace fourier {

using spectra::parsed_values;

namespace {

parsed_values error(std::string what) {
  return {.status = base::failure(std::move(what), base::code::usage)};
}

}  // namespace

parsed_values parse_grid(std::string_view text) {
  const char* usage = "expected log:FMIN:FMAX:N, as in log:0.1:50:100";
  const std::vector<std::string_view> parts = base::split(text, ':');
  if (parts.size() != 4 || parts[0] != "log") return error(usage);
  const std::optional<double> first = base::parse_decimal(parts[1]);
  const std::optional<double> last = base::parse_decimal(parts[2]);
  const std::optional<long long> count = base::parse_integer(parts[3], 1, 100000);
  if (!first || !last) return error(usage);
  if (!count) return error("N must be a whole number from 1 to 100000");
  if (!(*first > 0) || !(*last >= *first)) {
    return error("frequencies must be positive, FMIN <= FMAX");
  }
  if (*count == 1 && *first != *last) return error("one frequency needs FMIN = FMAX");
  parsed_values r;
  const long long n = *count;
  r.values.push_back(*first);
  for (long long i = 1; i < n; ++i) {
    const double fraction = static_cast<double>(i) / static_cast<double>(n - 1);
    const double f =
        i == n - 1 ? *last
                   : std::exp(std::log(*first) + fraction * (std::log(*last) - std::log(*first)));
    // Rounding never takes a frequency below the one before it or above FMAX.
    r.values.push_back(std::clamp(f, r.values.back(), *last));
  }
  return r;
}

parsed_values parse_bandwidth(std::string_view text) {
  const std::optional<double> b = base::parse_decimal(text);
  if (!b) return error("not a number: '" + base::printable(text) + "'");
  if (!(*b > 0 && *b <= 1000)) return error("the bandwidth b is above 0 and at most 1000");
  return {.values = {*b}};
}

double nyquist(double dt) {
  return 0.5 / dt;
}

std::vector<double> capped_at_nyquist(std::span<const double> frequencies, double dt) {
  std::vector<double> kept;
  for (double f : frequencies) {
    if (f <= nyquist(dt)) kept.push_back(f);
  }
  return kept;
}

base::status check_grid(std::span<const double> frequencies, double dt) {
  for (double f : frequencies) {
    if (f > nyquist(dt)) {
      return base::failure("the grid reaches " + base::shortest(f) +
                               " Hz, above the Nyquist frequency " + base::shortest(nyquist(dt)) +
                               " Hz of this record",
                           base::code::usage);
    }
  }
  return {};
}

}  // namespace fourier
