// COSMOS strong-motion data files, V1 and V2 (format v01.20): blocks of a text header, an integer
// and a real header each with its own Fortran format line, comments, and the data with its
// format line; one component per acceleration block (V2 files also hold velocity and
// displacement blocks: they are skipped).
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first line carries "(Format v", as every COSMOS block's first line does.
bool is_cosmos(std::string_view head);

// dt from real header 62 (ms); the unit from integer header 3 or the data line's code; the
// orientation from integer header 54 (1-360 azimuth, 400-402 vertical, others none) or the
// <SCNL> comment's channel; the start from integer headers 40, 42-45 and real header 30.
read_result read_cosmos(std::string_view bytes, const read_options& options);

}  // namespace records
