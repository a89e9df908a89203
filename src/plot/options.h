// sdofplot's option values: the record's unit and the oscillator of the run, read from the
// command line's texts into the labels of the pictures.
#pragma once

#include <string>
#include <string_view>

#include "plot/figures.h"

namespace plot {

// Each text empty where its option is not given. Returns what is wrong in words (naming the
// option), or an empty string with the labels set.
std::string read_labels(std::string_view units, std::string_view period, std::string_view damping,
                        history_labels& labels);

}  // namespace plot
