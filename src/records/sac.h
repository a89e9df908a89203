// SAC files (Seismic Analysis Code): binary, a 632-byte header and float32 samples in either
// byte order, and the same header and samples as text (SAC alphanumeric). One component each.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first bytes are a binary SAC header: NVHDR (the header version) 6 or 7 in one
// byte order or the other, a positive interval and a count.
bool is_sac(std::string_view head);
read_result read_sac(std::string_view bytes, const read_options& options);

// Whether the first bytes are a SAC alphanumeric header: 14 lines of 5 reals (G15.7), then 8 of
// 5 integers (I10), the header version 6 or 7 in its place.
bool is_sac_alphanumeric(std::string_view head);
read_result read_sac_alphanumeric(std::string_view bytes, const read_options& options);

// Both: the samples are acceleration in nm/s2 when IDEP says so (IACC) and no --units is given;
// otherwise in options.units. Samples that are all whole numbers are counts by the look of
// them: they need options.counts_per_unit (read as counts per unit of options.units), which
// also marks any other samples as counts. Displacement and velocity (IDEP) are refused, as are
// spectra, uneven sampling and files of fewer than two samples.

}  // namespace records
