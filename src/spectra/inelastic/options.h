// The values sdofspec takes for inelastic spectra: target ductilities, strength ratios and the
// post-yield stiffness ratio. Pure: text in, values or what is wrong out.
#pragma once

#include <span>
#include <string_view>

#include "spectra/grids.h"

namespace spectra::inelastic {

// The ductilities sdofspec --inelastic takes when told neither ductilities nor strength ratios.
inline constexpr std::string_view default_ductilities = "1.5,2,4,6";

// Ductilities mu = u_m / u_y, comma-separated ("1.5,2,4,6"), each 1 or more.
parsed_values parse_ductilities(std::string_view text);

// Strength ratios R = f_0 / f_y, comma-separated ("2,4,8"), each 1 or more.
parsed_values parse_strength_ratios(std::string_view text);

// The post-yield stiffness over the initial stiffness: one number from 0 up to (not) 1.
parsed_values parse_alpha(std::string_view text);

// The same rules for values given as numbers (the Python module), in the parsers' words: at
// least one value, each finite and 1 or more; alpha finite, from 0 up to (not) 1.
base::status check_ductility_values(std::span<const double> values);
base::status check_strength_ratio_values(std::span<const double> values);
base::status check_alpha_value(double alpha);

}  // namespace spectra::inelastic
