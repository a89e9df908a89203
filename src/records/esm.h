// ESM and ITACA ASCII files (the DYNA format, 1.0 with 55 keys, ESM's 1.2 with 64): "KEY: value"
// lines up to the first line of a number, then one value per line. One component per file.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first bytes are a DYNA header (EVENT_NAME first, or a HEADER_FORMAT of DYNA).
bool is_esm(std::string_view head);

// Acceleration time series only (DATA_TYPE ACCELERATION): velocity, displacement and spectra
// are refused with that reason. UNITS (cm/s^2, m/s^2, g) and SAMPLING_INTERVAL_S give the
// values; NDATA must be the number of values that follow.
read_result read_esm(std::string_view bytes, const read_options& options);

}  // namespace records
