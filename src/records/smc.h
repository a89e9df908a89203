// USGS SMC files (the NSMP's strong-motion format): 11 text lines, 48 integers (8I10), 50 reals
// (5E15.7), comment lines, then one component's samples in 8E10.4, fields that touch
// (" 3.8688E-1-1.9160E+0").
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first line names an SMC volume ("2 CORRECTED ACCELEROGRAM", "1 UNCORRECTED
// ACCELEROGRAM", or one of velocity or displacement, recognised to be refused) and line 12 is a
// line of 8I10 integers.
bool is_smc(std::string_view head);

// Samples in cm/s2 as the NSMP writes them; dt from the sampling rate (real 2); the count from
// integer 17; the orientation from integers 13 (0 up, 180 down) and 14 (azimuth); the start from
// integers 2-7 (year, day of the year, hour, minute, second, millisecond).
read_result read_smc(std::string_view bytes, const read_options& options);

}  // namespace records
