// K-NET and KiK-net ASCII files (NIED, Japan): 17 header lines whose values start at column 19,
// then integer counts, 8 a line. One component per file: K-NET's Dir. is N-S, E-W or U-D;
// KiK-net's is 1 to 6, the borehole sensor's three directions, then the surface sensor's.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first bytes are a K-NET or KiK-net header ("Origin Time", then "Scale Factor").
bool is_knet(std::string_view head);

// Counts times N/D of the Scale Factor "N(gal)/D", less the record's mean, as NIED prescribes;
// the start time in UTC (the Record Time is Japan's time and 15 s after the first sample). A
// Max. Acc. that differs from the peak read by more than its printed precision is a warning.
read_result read_knet(std::string_view bytes, const read_options& options);

}  // namespace records
