#include "processing/integrate.h"

#include <cassert>

namespace processing {

namespace {

template <bool keep_velocity>
void trapezoids(std::span<const double> a, double dt, std::span<double> velocity,
                std::span<double> d) {
  // v and d stay in registers: read back from memory, each sample would wait for the store.
  const double half = dt / 2;
  double v = 0, u = 0;
  if constexpr (keep_velocity) velocity[0] = 0;
  d[0] = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double next = v + (a[i - 1] + a[i]) * half;
    u = u + (v + next) * half;
    v = next;
    d[i] = u;
    if constexpr (keep_velocity) velocity[i] = v;
  }
}

}  // namespace

void integrate(std::span<const double> a, double dt, std::span<double> v, std::span<double> d) {
  assert((v.empty() || v.size() == a.size()) && d.size() == a.size());
  if (a.empty()) return;
  if (v.empty()) {
    trapezoids<false>(a, dt, v, d);
  } else {
    trapezoids<true>(a, dt, v, d);
  }
}

ground_histories integrate(std::span<const double> acceleration, double dt) {
  ground_histories g;
  g.velocity.resize(acceleration.size());
  g.displacement.resize(acceleration.size());
  integrate(acceleration, dt, g.velocity, g.displacement);
  return g;
}

}  // namespace processing
