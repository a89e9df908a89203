// Filtering by cascades of second-order sections, as SciPy's signal module does it and with its
// conventions: design apart (butterworth.h), one pass (causal), or forward then backward (zero
// phase) as a wrapper around the pass.
#pragma once

#include <span>
#include <vector>

#include "processing/lanes.h"

namespace processing {

// y[k] = b0 x[k] + b1 x[k-1] + b2 x[k-2] - a1 y[k-1] - a2 y[k-2]  (a0 is 1), computed in the
// transposed direct form II, the form SciPy's sosfilt uses:
//   y = b0 x + z1,   z1 <- (b1 x + z2) - a1 y,   z2 <- b2 x - a2 y.
struct section {
  double b0 = 0, b1 = 0, b2 = 0;
  double a1 = 0, a2 = 0;
};

// A cascade's memory is two values per section, (z1, z2) of the first section, then of the
// second...; all zero is rest.

// The memory in which the cascade stays under a constant input of 1 (SciPy's sosfilt_zi);
// scaled by c, the one it stays in under c.
std::vector<double> steady_state(std::span<const section> sections);

// One pass over x, in place, from `state`, which it leaves as the pass ends (SciPy's sosfilt).
// From rest, this is the causal filter.
void filter(std::span<const section> sections, std::span<double> x, std::span<double> state);

// Forward from the steady state of x's first value, then backward from the steady state of the
// forward result's last value, in place: zero phase, and the magnitude of the cascade's squared
// (SciPy's sosfiltfilt with padtype=None). A record that begins with zero pads begins at rest.
void filter_forward_backward(std::span<const section> sections, std::span<double> x);

// The same with the blocks' lanes in vectors or in their scalar twin (for the tests that compare
// them), with room for the record laid out by blocks (as many values as x; without it, the
// passes allocate their own); and the plain pass sample after sample that the blocks of long
// records must agree with.
namespace detail {

void filter(std::span<const section> sections, std::span<double> x, std::span<double> state,
            lanes_in lanes, std::span<double> scratch = {});
void filter_forward_backward(std::span<const section> sections, std::span<double> x, lanes_in lanes,
                             std::span<double> scratch = {});
// One pass sample after sample, whatever the length.
void filter_plain(std::span<const section> sections, std::span<double> x, std::span<double> state);

}  // namespace detail

}  // namespace processing
