// The layout that sdofresp reads: four header items (time and three components, each with its
// unit in parentheses), then per line a time and three accelerations, read by the same
// list-directed rules. Components 1 and 2 are horizontal, 3 vertical.
#pragma once

#include <cstddef>
#include <string_view>

#include "records/component.h"

namespace records {

bool is_table(std::string_view head);

// A table of halves_from bytes or more is read in two halves at once, to the same result.
inline constexpr std::size_t read_in_halves_from = 1 << 20;
read_result read_table(std::string_view bytes, const read_options& options,
                       std::size_t halves_from = read_in_halves_from);

}  // namespace records
