// The values sdofspec takes on its command line: period grids and damping lists. Pure: text
// in, values or what is wrong out.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace spectra {

struct parsed_values {
  std::vector<double> values;
  base::status status;  // a usage error when the text was not understood
};

// "nga-west2" (the 111 periods of the PEER NGA-West2 flatfile), "gmm" (the 21 periods of the
// NGA-West2 ground-motion models), a comma list ("0.1,0.2,1") or "log:TMIN:TMAX:N" (N periods
// evenly spaced in the logarithm, both ends included). Periods in seconds, all positive.
parsed_values parse_periods(std::string_view text);

// Damping ratios as fractions, comma-separated, each in [0, 1).
parsed_values parse_dampings(std::string_view text);

// The spectrum intensity's tolerance: one number, above 0 and at most 0.01.
parsed_values parse_tolerance(std::string_view text);

// The percentiles of the rotated spectra (--rotd-percentiles): a comma list of numbers from 0 to
// 100, none given twice, in the order given.
parsed_values parse_percentiles(std::string_view text);

// The same rules on values given as numbers (the Python module's): ok, or what is wrong, in the
// words of the parsers above. Periods positive and finite; damping ratios in [0, 1); a
// tolerance above 0 and at most 0.01.
base::status check_period_values(std::span<const double> periods);
base::status check_damping_values(std::span<const double> dampings);
// Percentiles from 0 to 100, none given twice.
base::status check_percentile_values(std::span<const double> percentiles);
base::status check_tolerance(double tolerance);

// The 111 periods of the NGA-West2 flatfile.
const std::vector<double>& nga_west2_periods();

}  // namespace spectra
