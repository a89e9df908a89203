// The spectra table: one row per record, component, damping and period.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "kernels/rotd.h"
#include "spectra/spectrum.h"
#include "tables/csv.h"

namespace tables {

// What names the row of a component or of a rotated pair: the columns that come first in the
// spectra table and in the intensity measures' table.
struct row_name {
  std::string_view record;     // the file, or the files of a pair joined by +
  std::string_view component;  // the file's own channel name, or RotD50
  std::string_view station;    // where known
  double azimuth = NAN;        // degrees from north; of a pair's first component for RotD rows
};
std::vector<column> name_columns();
void name_fields(row& r, const row_name& n);

// The columns: with energies the two input-energy velocities, with rotated spectra the angles
// of RotD00 and RotD100 of Sd and the angles of the row's RotD of Sd, Sv and Sa.
std::vector<column> spectra_columns(bool energy, bool rotated);
// The last column of every table of a run that processes its records: what was done.
inline constexpr column processing_column{"processing", "", "Processing"};

// A component's row, or with `rotated` a rotated row (Sd, PSv and PSa of the ordinate, and the
// angles; Sv, Sa and the energies stay empty).
void spectra_row(std::string& out, const row_name& name, double damping, double period,
                 const spectra::spectral_ordinate& o, const kernels::rotated_peaks* rotated,
                 bool energy, bool rotd_columns, const std::string* processing = nullptr);

// The name of the rotated row of percentile p: RotD00, RotD50, RotD84, RotD100, RotD02.5.
std::string rotated_name(double percentile);

// The rotated row of one percentile: RotD of Sd, Sv and Sa, PSv and PSa of the RotD of Sd, the
// angles of RotD00 and RotD100 of Sd, and the angle of each of the row's three values.
void rotated_row(std::string& out, const row_name& name, double damping, double period,
                 const spectra::rotated_ordinates& r, double percentile, bool energy,
                 const std::string* processing = nullptr);

}  // namespace tables
