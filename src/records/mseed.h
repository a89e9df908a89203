// miniSEED 2 (SEED data records, as FDSN data centres serve them), decoded by libmseed: one
// component per channel (network, station, location, channel), each one continuous trace.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

// Whether the first bytes are a SEED data record's fixed header.
bool is_mseed(std::string_view head);

// Integer samples (int16, int32, Steim-1, Steim-2) are counts: they need options.units and
// options.counts_per_unit. Float samples are of unknown unit: they need options.units, and are
// divided by options.counts_per_unit when it is given. A gap or an overlap in a channel, a
// change of sample rate, and a record whose samples would lie beyond it are refused at the
// byte offset of the record; records of text (logs) and without samples are left out.
read_result read_mseed(std::string_view bytes, const read_options& options);

}  // namespace records
