// The baseline fit's passes in vector lanes, compiled once per instruction set (Highway) and
// chosen at run time. Each lane computes what the scalar twin (baseline.cc) computes for its
// samples, operation for operation: a multiplication then an addition, never fused.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/baseline_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "processing/baseline_passes.h"
#include "processing/vectors-inl.h"

HWY_BEFORE_NAMESPACE();
namespace processing {
namespace HWY_NAMESPACE {

using baseline_passes::steps;
using baseline_passes::terms;

// Four samples at a time, the lanes of the `group` vectors being the four partial sums.
std::size_t Moments(const double* x, std::size_t n, double h, double (&moments)[terms][4]) {
  const tag d;
  constexpr std::size_t group = 4 / width;
  static_assert(group * width == 4);
  vec p[terms], r[terms], s[terms];
  for (int j = 1; j < terms; ++j) {
    p[j] = hn::Set(d, steps[j].p);
    r[j] = hn::Set(d, steps[j].r);
    s[j] = hn::Set(d, steps[j].s);
  }
  const vec step = hn::Set(d, h);
  vec sums[terms][group], offset[group];
  for (std::size_t g = 0; g < group; ++g) {
    for (int j = 0; j < terms; ++j) sums[j][g] = hn::Zero(d);
    offset[g] = hn::Iota(d, static_cast<double>(g * width));
  }
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const vec first = hn::Set(d, static_cast<double>(i));
    for (std::size_t g = 0; g < group; ++g) {
      const vec tau = hn::Mul(hn::Add(first, offset[g]), step);
      const vec u = hn::Mul(hn::Mul(tau, tau), hn::LoadU(d, x + i + g * width));
      vec q[terms];
      q[1] = hn::Add(hn::Mul(p[1], tau), r[1]);
      q[2] = hn::Sub(hn::Mul(hn::Add(hn::Mul(p[2], tau), r[2]), q[1]), s[2]);
      for (int j = 3; j < terms; ++j) {
        q[j] =
            hn::Sub(hn::Mul(hn::Add(hn::Mul(p[j], tau), r[j]), q[j - 1]), hn::Mul(s[j], q[j - 2]));
      }
      sums[0][g] = hn::Add(sums[0][g], u);
      for (int j = 1; j < terms; ++j) sums[j][g] = hn::Add(sums[j][g], hn::Mul(q[j], u));
    }
  }
  for (int j = 0; j < terms; ++j) {
    for (std::size_t g = 0; g < group; ++g) hn::StoreU(sums[j][g], d, &moments[j][g * width]);
  }
  return i;
}

std::size_t Subtract(double* a, std::size_t n, double h, const double (&coefficients)[terms]) {
  const tag d;
  vec c[terms];
  for (int k = 0; k < terms; ++k) c[k] = hn::Set(d, coefficients[k]);
  const vec step = hn::Set(d, h), zero = hn::Zero(d), offset = hn::Iota(d, 0.0);
  std::size_t i = 0;
  for (; i + width <= n; i += width) {
    const vec tau = hn::Mul(hn::Add(hn::Set(d, static_cast<double>(i)), offset), step);
    vec sum = hn::Add(hn::Mul(tau, zero), c[terms - 1]);
    for (int k = terms - 2; k >= 0; --k) sum = hn::Add(hn::Mul(sum, tau), c[k]);
    hn::StoreU(hn::Sub(hn::LoadU(d, a + i), sum), d, a + i);
  }
  return i;
}

}  // namespace HWY_NAMESPACE
}  // namespace processing
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "processing/choose.h"

namespace processing::baseline_passes {

vector_passes passes_in_vectors(kernels::vector_target up_to) {
  return {.moments = PROCESSING_CHOOSE_UP_TO(up_to, Moments),
          .subtract = PROCESSING_CHOOSE_UP_TO(up_to, Subtract)};
}

vector_passes passes_in_vectors() {
  static const vector_passes widest = passes_in_vectors(kernels::best_vector_target());
  return widest;
}

}  // namespace processing::baseline_passes
#endif
