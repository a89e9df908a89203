// The peaks of a batch of oscillators in vector lanes, compiled once per instruction set
// (Highway) and chosen at run time. Each lane is one oscillator and computes, operation for
// operation, what the scalar twin (batch.cc) computes for it: the same multiplications and
// additions in the same order, no fused multiply-add (the build forbids contraction), and the
// processor's max instruction for peaks, which the scalar twin's rule copies.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/peaks_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// G vectors of oscillators at once: the recurrence is a chain of dependent operations, and
// independent chains keep the arithmetic units busy while each waits.
template <std::size_t G, bool with_history, bool all_peaks>
void run_group(const batch& b, const lanes& c, std::size_t first, peak_response* peaks,
               std::span<const input_ahead> to_come) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = V<decltype(d)>;
  Vec x[G], dx[G], sd[G], sv[G], sa[G];
  const vector_coefficients<decltype(d)> k0(d, c, first);
  const vector_coefficients<decltype(d)> k1(d, c, first + (G > 1 ? N : 0));
  const vector_coefficients<decltype(d)> k2(d, c, first + (G > 2 ? 2 * N : 0));
  const vector_coefficients<decltype(d)>* const coefficients_of[3] = {&k0, &k1, &k2};
  static_assert(G <= 3);
  for (std::size_t g = 0; g < G; ++g) {
    sd[g] = sv[g] = sa[g] = hn::Zero(d);
    load_start(d, b, first + g * N, x[g], dx[g]);
  }
  double* history = b.displacement + first;
  const auto record = [&] {
    for (std::size_t g = 0; g < G; ++g) hn::StoreU(x[g], d, history + g * N);
    history += b.stride;
  };
  if (with_history && !b.ddy.empty()) record();

  const int k = b.substeps;
  std::size_t settled_at = 0;
  for (std::size_t m = 1; m < b.ddy.size();) {
    if (k == 1 && !with_history) {  // the usual case, without the interpolation's branches
      for (const std::size_t look = next_look(m, b.ddy.size()); m < look; ++m) {
        const Vec ddyf = hn::Set(d, b.ddy[m - 1]);
        const Vec ddym = hn::Set(d, b.ddy[m]);
        for (std::size_t g = 0; g < G; ++g) {
          const vector_coefficients<decltype(d)>& kg = *coefficients_of[g];
          advance(kg, x[g], dx[g], ddyf, ddym);
          take_peaks<all_peaks>(kg, x[g], dx[g], sd[g], sv[g], sa[g]);
        }
      }
    }
    for (const std::size_t look = next_look(m, b.ddy.size()); m < look; ++m) {
      for (int j = 1; j <= k; ++j) {
        const Vec ddyf = hn::Set(d, interpolate(b.ddy[m - 1], b.ddy[m], j - 1, k));
        const Vec ddym = hn::Set(d, interpolate(b.ddy[m - 1], b.ddy[m], j, k));
        for (std::size_t g = 0; g < G; ++g) {
          const vector_coefficients<decltype(d)>& kg = *coefficients_of[g];
          advance(kg, x[g], dx[g], ddyf, ddym);
          take_peaks<all_peaks>(kg, x[g], dx[g], sd[g], sv[g], sa[g]);
        }
        if (with_history) record();
      }
    }
    if (settled_at_look<all_peaks, G>(d, to_come, m, c, first, x, dx, sd, sv, sa)) {
      settled_at = m - 1;
      break;
    }
  }
  for (std::size_t g = 0; g < G; ++g) {
    store_peaks(d, b, first + g * N, sd[g], sv[g], sa[g], peaks, settled_at);
  }
}

// Oscillators that take different numbers of steps per interval, G vectors at a time: in
// round r of an interval, the lanes with r steps or more take their r-th step and the others
// keep their state (their peaks then cannot change). Each lane's input at its sub-steps is
// the scalar interpolation, operation for operation.
template <std::size_t G, bool all_peaks>
void run_mixed(const batch& b, const lanes& c, std::size_t first, peak_response* peaks,
               std::span<const input_ahead> to_come) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = V<decltype(d)>;
  int rounds = 1;
  int rounds_of[G];  // a vector's rounds: as many as its lane of most steps
  HWY_ALIGN double k_of[G][hn::MaxLanes(d)];
  for (std::size_t g = 0; g < G; ++g) {
    rounds_of[g] = 1;
    for (std::size_t l = 0; l < N; ++l) {
      const int k = b.substeps_of[std::min(first + g * N + l, b.oscillators.size() - 1)];
      k_of[g][l] = k;
      rounds_of[g] = std::max(rounds_of[g], k);
    }
    rounds = std::max(rounds, rounds_of[g]);
  }
  // The fractions of the interval at the ends of each round's step, lane by lane.
  std::vector<double> fraction(static_cast<std::size_t>(rounds + 1) * G * N);
  const auto fraction_at = [&](int r, std::size_t g) {
    return fraction.data() + (static_cast<std::size_t>(r) * G + g) * N;
  };
  for (int r = 0; r <= rounds; ++r) {
    for (std::size_t g = 0; g < G; ++g) {
      for (std::size_t l = 0; l < N; ++l) {
        fraction_at(r, g)[l] = static_cast<double>(r) / k_of[g][l];
      }
    }
  }
  const vector_coefficients<decltype(d)> k0(d, c, first);
  const vector_coefficients<decltype(d)> k1(d, c, first + (G > 1 ? N : 0));
  const vector_coefficients<decltype(d)> k2(d, c, first + (G > 2 ? 2 * N : 0));
  const vector_coefficients<decltype(d)>* const coefficients_of[3] = {&k0, &k1, &k2};
  static_assert(G <= 3);
  Vec k[G], x[G], dx[G], sd[G], sv[G], sa[G];
  for (std::size_t g = 0; g < G; ++g) {
    k[g] = hn::Load(d, k_of[g]);
    x[g] = dx[g] = sd[g] = sv[g] = sa[g] = hn::Zero(d);
  }
  std::size_t settled_at = 0;
  for (std::size_t m = 1; m < b.ddy.size();) {
    for (const std::size_t look = next_look(m, b.ddy.size()); m < look; ++m) {
      const double ddyf = b.ddy[m - 1], ddym = b.ddy[m];
      const Vec from = hn::Set(d, ddyf), to = hn::Set(d, ddym), rise = hn::Set(d, ddym - ddyf);
      for (int r = 1; r <= rounds; ++r) {
        const Vec round = hn::Set(d, r);
        for (std::size_t g = 0; g < G; ++g) {
          if (r > rounds_of[g]) continue;  // its lanes are done with this interval
          const vector_coefficients<decltype(d)>& kg = *coefficients_of[g];
          const Vec af =
              r == 1 ? from : hn::Add(from, hn::Mul(rise, hn::Load(d, fraction_at(r - 1, g))));
          const Vec am =
              hn::IfThenElse(hn::Eq(k[g], round), to,
                             hn::Add(from, hn::Mul(rise, hn::Load(d, fraction_at(r, g)))));
          Vec xm = x[g], dxm = dx[g];
          advance(kg, xm, dxm, af, am);
          const auto steps = hn::Ge(k[g], round);  // the lanes with r steps or more
          x[g] = hn::IfThenElse(steps, xm, x[g]);
          dx[g] = hn::IfThenElse(steps, dxm, dx[g]);
          take_peaks<all_peaks>(kg, x[g], dx[g], sd[g], sv[g], sa[g]);
        }
      }
    }
    if (settled_at_look<all_peaks, G>(d, to_come, m, c, first, x, dx, sd, sv, sa)) {
      settled_at = m - 1;
      break;
    }
  }
  for (std::size_t g = 0; g < G; ++g) {
    store_peaks(d, b, first + g * N, sd[g], sv[g], sa[g], peaks, settled_at);
  }
}

template <std::size_t G>
void run_group(const batch& b, const lanes& c, std::size_t first, peak_response* peaks,
               std::span<const input_ahead> to_come) {
  if (b.displacement) {
    run_group<G, true, true>(b, c, first, peaks, {});
  } else if (b.displacement_only) {
    run_group<G, false, false>(b, c, first, peaks, to_come);
  } else {
    run_group<G, false, true>(b, c, first, peaks, to_come);
  }
}

template <std::size_t G>
void run_mixed(const batch& b, const lanes& c, std::size_t first, peak_response* peaks,
               std::span<const input_ahead> to_come) {
  if (b.displacement_only) {
    run_mixed<G, false>(b, c, first, peaks, to_come);
  } else {
    run_mixed<G, true>(b, c, first, peaks, to_come);
  }
}

void RunPeaks(const batch& b, peak_response* peaks) {
  if (b.oscillators.empty()) return;
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  const lanes c = lay_out(b.oscillators, -1);
  const std::size_t count = b.oscillators.size();
  std::size_t first = 0;
  const std::vector<input_ahead> to_come = input_to_come(b);
  if (!b.substeps_of.empty()) {
    // Largest first: the vectors with more than one step per interval, then the rest.
    std::size_t mixed = 0;  // vectors with a lane of more than one step
    while ((first + mixed * N) < count && b.substeps_of[first + mixed * N] > 1) ++mixed;
    for (; mixed >= 3; mixed -= 3, first += 3 * N) run_mixed<3>(b, c, first, peaks, to_come);
    if (mixed == 2) run_mixed<2>(b, c, first, peaks, to_come);
    if (mixed == 1) run_mixed<1>(b, c, first, peaks, to_come);
    first += mixed * N;
  }
  constexpr std::size_t group = 3;
  for (; first + group * N <= count; first += group * N)
    run_group<group>(b, c, first, peaks, to_come);
  for (; first + 2 * N <= count; first += 2 * N) run_group<2>(b, c, first, peaks, to_come);
  for (; first < count; first += N) run_group<1>(b, c, first, peaks, to_come);
}

const char* TargetName() {
  return hwy::TargetName(HWY_TARGET);
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace kernels {

void run_peaks(const batch& b, std::span<peak_response> peaks) {
  static const auto run = KERNELS_CHOOSE(RunPeaks);
  run(b, peaks.data());
}

const char* kernel_target() {
  static const auto name = KERNELS_CHOOSE(TargetName);
  return name();
}

}  // namespace kernels
#endif
