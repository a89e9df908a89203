#include "spectra/response_history.h"

#include "kernels/batch.h"
#include "response/oscillator.h"
#include "spectra/spectrum.h"

namespace spectra {

response_histories response_history(std::span<const double> acceleration, double dt, double period,
                                    double damping) {
  const std::size_t n = acceleration.size();
  response_histories h;
  h.displacement.resize(n);
  h.velocity.resize(n);
  h.absolute_acceleration.resize(n);
  if (n == 0) return h;
  const int k = substeps(period, dt);
  // The spectra's coefficients for the sub-step, made the same way.
  const response::recurrence r =
      kernels::coefficients(damping, circular_frequency(period), dt / k, false).step;
  response::oscillator_state s;
  for (std::size_t m = 1; m < n; ++m) {
    for (int j = 1; j <= k; ++j) {
      s = response::step(r, s, kernels::interpolate(acceleration[m - 1], acceleration[m], j - 1, k),
                         kernels::interpolate(acceleration[m - 1], acceleration[m], j, k));
    }
    h.displacement[m] = s.x;
    h.velocity[m] = s.dx;
    h.absolute_acceleration[m] = response::absolute_acceleration(r, s);
  }
  return h;
}

}  // namespace spectra
