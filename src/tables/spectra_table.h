// The spectra table: one row per record, component, damping and period.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kernels/rotd.h"
#include "spectra/spectrum.h"
#include "tables/csv.h"

namespace tables {

// The columns: with energies the two input-energy velocities, with rotated spectra the angles
// of RotD00 and RotD100.
std::vector<column> spectra_columns(bool energy, bool rotated);

// A component's row, or with `rotated` a rotated row (Sd, PSv and PSa of the ordinate, and the
// angles; Sv, Sa and the energies stay empty).
void spectra_row(std::string& out, std::string_view record, std::string_view component,
                 double damping, double period, const spectra::spectral_ordinate& o,
                 const kernels::rotated_peaks* rotated, bool energy, bool rotd_columns);

}  // namespace tables
