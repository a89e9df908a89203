// A component as a PEER NGA .AT2 file, the layout every peer reads and at2.h reads back.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "records/component.h"

namespace records {

// Four header lines, then the values in g, five to a line:
//   PROCESSED: <step>; <step>; ...          (or "PROCESSED: nothing")
//   <record>, <channel>                     (the reader takes the channel after the last comma)
//   ACCELERATION TIME SERIES IN UNITS OF G
//   NPTS= <count>, DT= <interval, shortest digits that read back as it> SEC
// Each value is written with 9 significant digits (" % .8E", 16 characters, more for
// exponents beyond 99), so that reading back gives the value in g rounded to 9 digits: within
// 5e-9 of it, relative. Line ends in the texts become blanks, and commas in the channel too.
std::string write_at2(const component& c, std::string_view record,
                      std::span<const std::string> steps);

}  // namespace records
