// The peaks and the input energies of a batch of oscillators in vector lanes, each lane
// computing what the scalar twin (batch.cc) computes, operation for operation.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/energy_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// With the input energies: one vector at a time, the Gauss nodes giving independent work.
void run_with_energy(const batch& b, const lanes& c, const std::vector<lanes>& node_lanes,
                     std::size_t first, peak_response* peaks) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = V<decltype(d)>;
  Vec x, dx, sd = hn::Zero(d), sv = sd, sa = sd;
  Vec relative = sd, absolute = sd, peak_relative = sd, peak_absolute = sd;
  load_start(d, b, first, x, dx);
  double* history = b.displacement ? b.displacement + first : nullptr;
  if (history && !b.ddy.empty()) {
    hn::StoreU(x, d, history);
    history += b.stride;
  }
  const energy_nodes_of_step nodes = nodes_of_step(b.step);
  const double half_step = b.step / 2;
  const vector_coefficients<decltype(d)> step(d, c, first);
  const Vec two_hw = step.k[hw2];
  const Vec w_squared = step.k[w2];
  double g = 0;  // ground velocity, from rest
  const int k = b.substeps;
  for (std::size_t m = 1; m < b.ddy.size(); ++m) {
    for (int j = 1; j <= k; ++j) {
      const double af = interpolate(b.ddy[m - 1], b.ddy[m], j - 1, k);
      const double am = interpolate(b.ddy[m - 1], b.ddy[m], j, k);
      const Vec ddyf = hn::Set(d, af);
      Vec step_relative = hn::Zero(d), step_absolute = hn::Zero(d);
      for (int q = 0; q < energy_nodes; ++q) {
        const double aq = af + (am - af) * nodes.fraction[q];
        const double gq = g + nodes.time[q] * (af + (am - af) * nodes.half_fraction[q]);
        const Vec weight = hn::Set(d, nodes.weight[q]);
        Vec xq = x, vq = dx;
        const vector_coefficients<decltype(d)> to_node(d, node_lanes[static_cast<std::size_t>(q)],
                                                       first);
        advance(to_node, xq, vq, ddyf, hn::Set(d, aq));
        step_relative = hn::Add(step_relative, hn::Mul(weight, hn::Mul(hn::Set(d, aq), vq)));
        step_absolute = hn::Add(
            step_absolute,
            hn::Mul(weight,
                    hn::Mul(hn::Add(hn::Mul(two_hw, vq), hn::Mul(w_squared, xq)), hn::Set(d, gq))));
      }
      relative = hn::Sub(relative, step_relative);
      absolute = hn::Sub(absolute, step_absolute);
      g = g + (af + am) * half_step;

      advance(step, x, dx, ddyf, hn::Set(d, am));
      take_peaks(step, x, dx, sd, sv, sa);
      peak_relative = hn::Max(peak_relative, relative);
      peak_absolute = hn::Max(peak_absolute, absolute);
      if (history) {
        hn::StoreU(x, d, history);
        history += b.stride;
      }
    }
  }
  store_peaks(d, b, first, sd, sv, sa, peaks);
  HWY_ALIGN double out[2][hn::MaxLanes(d)];
  hn::Store(peak_relative, d, out[0]);
  hn::Store(peak_absolute, d, out[1]);
  for (std::size_t l = 0; l < N && first + l < b.oscillators.size(); ++l) {
    peaks[first + l].relative_energy = out[0][l];
    peaks[first + l].absolute_energy = out[1][l];
  }
}

void RunEnergies(const batch& b, peak_response* peaks) {
  if (b.oscillators.empty()) return;
  const hn::ScalableTag<double> d;
  const lanes c = lay_out(b.oscillators, -1);
  std::vector<lanes> node_lanes;
  for (int q = 0; q < energy_nodes; ++q) node_lanes.push_back(lay_out(b.oscillators, q));
  for (std::size_t first = 0; first < b.oscillators.size(); first += hn::Lanes(d)) {
    run_with_energy(b, c, node_lanes, first, peaks);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace kernels {

void run_energies(const batch& b, std::span<peak_response> peaks) {
  static const auto run = KERNELS_CHOOSE(RunEnergies);
  run(b, peaks.data());
}

}  // namespace kernels
#endif
