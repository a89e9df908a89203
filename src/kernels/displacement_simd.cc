// The displacement alone in vector lanes, by the recurrence of x on its last two values: each
// lane computes what run_displacements_scalar (batch.cc) computes, operation for operation.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/displacement_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The displacement alone, G vectors at a time: each lane as run_displacements_scalar, and
// stopping where the peaks have settled (the velocity one sample back recovered from the
// last two displacements).
enum two_back {
  c1,
  c2,
  e0,
  e1,
  e2,
  x_a11,
  x_inverse_a12,
  x_b11,
  x_b12,
  x_hw2,  // and the rest of the bound's factors
  two_back_count = x_hw2 + static_cast<int>(bound_rows)
};

template <std::size_t G>
void run_two_back(std::span<const double> ddy, double dt, const std::vector<double>& c,
                  std::size_t padded, std::size_t first, peak_response* peaks,
                  std::span<const input_ahead> to_come) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = V<decltype(d)>;
  // The five of the recurrence stay in registers; the others are loaded where they are needed.
  const auto load = [&](int i, std::size_t g) {
    return hn::LoadU(d, &c[static_cast<std::size_t>(i) * padded + first + g * N]);
  };
  Vec k[G][5], before[G], last[G], sd[G];
  const Vec a0 = hn::Set(d, ddy[0]), a1 = hn::Set(d, ddy[1]);
  for (std::size_t g = 0; g < G; ++g) {
    for (int i = 0; i < 5; ++i) k[g][i] = load(i, g);
    before[g] = hn::Zero(d);
    last[g] = hn::Add(hn::Mul(load(x_b12, g), a1), hn::Mul(load(x_b11, g), a0));
    sd[g] = hn::Max(hn::Zero(d), hn::Abs(last[g]));
  }
  std::size_t settled_at = 0;
  for (std::size_t m = 2; m < ddy.size();) {
    for (const std::size_t look = next_look(m, ddy.size()); m < look; ++m) {
      const Vec am = hn::Set(d, ddy[m]), am1 = hn::Set(d, ddy[m - 1]), am2 = hn::Set(d, ddy[m - 2]);
      for (std::size_t g = 0; g < G; ++g) {
        // Summed so that x waits on the last x for one multiplication and one addition only.
        const Vec input =
            hn::Add(hn::Add(hn::Mul(k[g][e0], am), hn::Mul(k[g][e1], am1)), hn::Mul(k[g][e2], am2));
        const Vec x =
            hn::Add(hn::Mul(k[g][c1], last[g]), hn::Add(hn::Mul(k[g][c2], before[g]), input));
        sd[g] = hn::Max(sd[g], hn::Abs(x));
        before[g] = last[g];
        last[g] = x;
      }
    }
    if (!time_to_look(!to_come.empty(), m)) continue;
    // The state at the sample before the last: x there, and a12 v from x(last) = a12 v +
    // a11 x + b12 ddy(last) + b11 ddy(last - 1); the input to come from there on.
    const std::size_t at = m - 1;
    const Vec am = hn::Set(d, ddy[at]), am1 = hn::Set(d, ddy[at - 1]);
    const input_ahead& from_at = to_come[at / settle_check];
    const input_ahead ahead = {
        from_at.integral + dt * (std::fabs(ddy[at - 1]) + std::fabs(ddy[at])) / 2,
        std::max(from_at.largest, std::fabs(ddy[at - 1]))};
    bool all = true;
    for (std::size_t g = 0; g < G && all; ++g) {
      const Vec v = hn::Mul(hn::Sub(hn::Sub(hn::Sub(last[g], hn::Mul(load(x_a11, g), before[g])),
                                            hn::Mul(load(x_b12, g), am)),
                                    hn::Mul(load(x_b11, g), am1)),
                            load(x_inverse_a12, g));
      all = settled<false>(d, &c[x_hw2 * padded + first + g * N], padded, before[g], v, sd[g],
                           sd[g], sd[g], ahead);
    }
    if (all) {
      settled_at = at;
      break;
    }
  }
  for (std::size_t g = 0; g < G; ++g) {
    HWY_ALIGN double out[hn::MaxLanes(d)];
    hn::Store(sd[g], d, out);
    for (std::size_t l = 0; l < N; ++l) {
      const std::size_t i = first + g * N + l;
      peaks[i].sd = out[l];
      peaks[i].settled_at = settled_at;
    }
  }
}

void RunDisplacements(std::span<const double> ddy, double dt,
                      std::span<const displacement_recurrence> oscillators, peak_response* peaks) {
  const std::size_t count = oscillators.size();
  if (count == 0) return;
  if (ddy.size() < 2) {
    for (std::size_t i = 0; i < count; ++i) peaks[i] = peak_response();
    return;
  }
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  const std::size_t padded_count = padded(count);
  std::vector<double> c(two_back_count * padded_count);
  bool stoppable = true;
  for (std::size_t lane = 0; lane < padded_count; ++lane) {
    const displacement_recurrence& o = oscillators[std::min(lane, count - 1)];
    const double v[x_hw2] = {o.c1,       o.c2,           o.e0,       o.e1,      o.e2,
                             o.step.a11, 1 / o.step.a12, o.step.b11, o.step.b12};
    for (int k = 0; k < x_hw2; ++k) c[k * padded_count + lane] = v[k];
    put_bound_factors(o.step.hw, o.step.w2, &c[x_hw2 * padded_count + lane], padded_count);
    stoppable = stoppable && o.step.hw >= 0;
  }
  std::vector<input_ahead> to_come;
  if (stoppable) to_come = input_to_come(ddy, dt);
  std::vector<peak_response> out(padded_count);
  std::size_t first = 0;
  // Two vectors at a time: with five coefficients a vector, two chains keep the pipes as busy
  // as three do, in fewer registers (measured 4.2 against 3.7 10^9 period-samples a second).
  for (; first + 2 * N <= padded_count; first += 2 * N)
    run_two_back<2>(ddy, dt, c, padded_count, first, out.data(), to_come);
  for (; first < padded_count; first += N)
    run_two_back<1>(ddy, dt, c, padded_count, first, out.data(), to_come);
  for (std::size_t i = 0; i < count; ++i) peaks[i] = out[i];
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace kernels {

void run_displacements(std::span<const double> ddy, double dt,
                       std::span<const displacement_recurrence> oscillators,
                       std::span<peak_response> peaks) {
  static const auto run = KERNELS_CHOOSE(RunDisplacements);
  run(ddy, dt, oscillators, peaks.data());
}

}  // namespace kernels
#endif
