// The sample arrays of a run: fixed storage for the largest record the program accepts.
#pragma once

#include <array>
#include <cassert>

namespace response {

// Samples per array: a longer record is refused.
inline constexpr int mm = 131100;

// One history of up to mm samples, indexed from 1 like the samples themselves; zero until
// written.
class series {
 public:
  double& operator()(int m) {
    assert(m >= 1 && m <= mm);
    return values_[static_cast<std::size_t>(m - 1)];
  }
  double operator()(int m) const {
    assert(m >= 1 && m <= mm);
    return values_[static_cast<std::size_t>(m - 1)];
  }

 private:
  std::array<double, mm> values_{};
};

// The record, its ground velocities and the three responses, per component 1, 2, 3.
struct sample_arrays {
  series time;
  series ddy1, ddy2, ddy3;  // ground acceleration
  series dy1, dy2, dy3;     // ground velocity
  series acc1, acc2, acc3;  // absolute acceleration response
  series vel1, vel2, vel3;  // relative velocity response
  series dis1, dis2, dis3;  // relative displacement response
};

}  // namespace response
