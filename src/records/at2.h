// PEER NGA .AT2 files: one component in g, four header lines (the second names the record and
// ends with the component, the fourth gives the count and the interval), then the values.
#pragma once

#include <string_view>

#include "records/component.h"

namespace records {

bool is_at2(std::string_view head);
read_result read_at2(std::string_view bytes, const read_options& options);

}  // namespace records
