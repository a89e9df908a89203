// The values sdofspec takes for inelastic spectra: target ductilities, strength ratios and the
// post-yield stiffness ratio. Pure: text in, values or what is wrong out.
#pragma once

#include <string_view>

#include "spectra/grids.h"

namespace spectra::inelastic {

// Ductilities mu = u_m / u_y, comma-separated ("1.5,2,4,6"), each 1 or more.
parsed_values parse_ductilities(std::string_view text);

// Strength ratios R = f_0 / f_y, comma-separated ("2,4,8"), each 1 or more.
parsed_values parse_strength_ratios(std::string_view text);

// The post-yield stiffness over the initial stiffness: one number from 0 up to (not) 1.
parsed_values parse_alpha(std::string_view text);

}  // namespace spectra::inelastic
