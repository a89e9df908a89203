// The scalar twin of the pair kernel: every angle at every (sub-)sample.
#include "kernels/pair.h"

#include <algorithm>
#include <cmath>

namespace kernels {

void run_pair_scalar(const pair_batch& b, std::span<pair_response> out) {
  const angle_table& t = unit_vectors();
  const std::size_t n = std::min(b.first.size(), b.second.size());
  for (std::size_t lane = 0; lane < b.oscillators.size(); ++lane) {
    const int k = b.substeps_of.empty() ? 1 : b.substeps_of[lane];
    const response::recurrence& r = b.oscillators[lane].step;
    response::oscillator_state s1, s2;
    pair_response p;
    const auto take = [&](peak_response& q, response::oscillator_state s, double a) {
      q.sd = peak(q.sd, std::fabs(s.x));
      q.sv = peak(q.sv, std::fabs(s.dx));
      q.sa = peak(q.sa, std::fabs(a));
    };
    for (std::size_t m = 1; m < n; ++m) {
      for (int j = 1; j <= k; ++j) {
        s1 = response::step(r, s1, interpolate(b.first[m - 1], b.first[m], j - 1, k),
                            interpolate(b.first[m - 1], b.first[m], j, k));
        s2 = response::step(r, s2, interpolate(b.second[m - 1], b.second[m], j - 1, k),
                            interpolate(b.second[m - 1], b.second[m], j, k));
        const double a1 = response::absolute_acceleration(r, s1);
        const double a2 = response::absolute_acceleration(r, s2);
        take(p.first, s1, a1);
        take(p.second, s2, a2);
        for (int a = 0; a < angles; ++a) {
          p.sd[a] = std::max(p.sd[a], std::fabs(s1.x * t.c[a] + s2.x * t.s[a]));
          p.sv[a] = std::max(p.sv[a], std::fabs(s1.dx * t.c[a] + s2.dx * t.s[a]));
          p.sa[a] = std::max(p.sa[a], std::fabs(a1 * t.c[a] + a2 * t.s[a]));
        }
      }
    }
    out[lane] = p;
  }
}

}  // namespace kernels
