// CSMIP/DMG files of the California Geological Survey, V2 and V1: per channel a text header
// (25 lines in V2, 13 in V1), 100 integers (16I5), 100 reals in V2 or 50 in V1 (8F10), then data
// blocks each after a line such as " 12000 points of accel data equally spaced at  .005 sec, in
// cm/sec2. (8f10.6)"; V2 channels also hold velocity and displacement, which are skipped.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first lines carry the markers of CSMIP volumes: "Corrected accelerogram" over
// "Uncorrected Accelerogram Data" (V2), "Uncorrected Accelerogram Data" (V1), or the response
// spectra of V3 (recognised to be refused with that reason).
bool is_dmg(std::string_view head);

// dt from real header 61 (V2) or the data line ("at 200 pts/sec", V1); the unit from the data
// line (g, g/10, cm/sec2, gal); the orientation from integer header 27 (1-360 azimuth, 500 up,
// 600 down); the start from the text's "Start time:" (UTC, GMT, PST, PDT).
read_result read_dmg(std::string_view bytes, const read_options& options);

}  // namespace records
