// The kernels of the filter's blocks (sos_filter.cc): one section over sixteen blocks of a
// record side by side, and the record into those lanes and back; in vectors
// (sos_filter_simd.cc) and in their scalar twin.
#pragma once

#include <cstddef>

#include "kernels/dispatch.h"
#include "processing/sos_filter.h"

namespace processing {

// A long record is cut into this many blocks, sample m of block l at rows[m * block_lanes + l].
// The count is the same on every instruction set: it decides where the blocks begin, and so
// the rounding.
inline constexpr std::size_t block_lanes = 16;

struct block_kernels {
  // One section over every lane for `steps` rows, forwards or backwards, from the memories z1
  // and z2 (one per lane), left as the pass ends: in place, or for those memories alone.
  void (*in_place)(const section& s, double* rows, std::size_t steps, bool backward, double* z1,
                   double* z2);
  void (*to_end)(const section& s, const double* rows, std::size_t steps, bool backward, double* z1,
                 double* z2);
  // Block l of x (samples l * steps to (l + 1) * steps) into lane l of rows, and back.
  void (*to_lanes)(const double* x, std::size_t steps, double* rows);
  void (*from_lanes)(double* x, std::size_t steps, const double* rows);
};

// The kernels of the widest instruction set the processor has (chosen once), or of the widest
// compiled up to `target`.
block_kernels vector_block_kernels();
block_kernels vector_block_kernels(kernels::vector_target up_to);
// Their twin, lane after lane: in each lane, the operations of the plain pass's step.
block_kernels scalar_block_kernels();

}  // namespace processing
