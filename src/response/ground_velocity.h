// Ground velocity from ground acceleration by the trapezoidal rule, starting from rest.
#pragma once

#include "response/samples.h"

namespace response {

// dy(1) = 0; dy(i) = dy(i-1) + (ddy(i-1) + ddy(i)) * dt2 for i = 2..nn, where dt2 = dt / 2.
inline void integrate_ground_velocity(const series& ddy, series& dy, int nn, double dt2) {
  dy(1) = 0;
  for (int i = 2; i <= nn; ++i) dy(i) = dy(i - 1) + (ddy(i - 1) + ddy(i)) * dt2;
}

}  // namespace response
