// The baseline fit's passes over a record (baseline.cc): the moments of the displacement on the
// fit's basis, and the subtraction of a polynomial; in vectors (baseline_simd.cc) and in their
// scalar twin.
#pragma once

#include <cstddef>

#include "kernels/dispatch.h"

namespace processing::baseline_passes {

// The basis tau^2 q_j(tau), j = 0..4, tau = i / (N - 1) from 0 to 1 (baseline.cc).
inline constexpr int terms = 5;

// The three-term recurrence q_j = (p_j tau + r_j) q_{j-1} - s_j q_{j-2}, from Jacobi's for
// alpha = 0, beta = 4: 2j (j + 4)(2j + 2) P_j = (2j + 3)((2j + 4)(2j + 2) x - 16) P_{j-1}
// - 2 (j - 1)(j + 3)(2j + 4) P_{j-2}, with x = 2 tau - 1. Stable where the powers cancel.
struct recurrence {
  double p, r, s;
};
constexpr recurrence step_to(int j) {
  const double d = 2.0 * j * (j + 4) * (2 * j + 2);
  const double x = (2.0 * j + 4) * (2 * j + 2);
  return {(2 * j + 3) * 2 * x / d, (2 * j + 3) * (-x - 16) / d,
          2.0 * (j - 1) * (j + 3) * (2 * j + 4) / d};
}
inline constexpr recurrence steps[terms] = {{}, step_to(1), step_to(2), step_to(3), step_to(4)};

// The moments sum over i of tau_i^2 q_j(tau_i) d_i, j = 0..4, h = 1 / (N - 1), added into four
// interleaved partial sums (sample i into moments[j][i % 4]) from sample `from` to n.
void add_moments(const double* d, std::size_t from, std::size_t n, double h,
                 double (&moments)[terms][4]);

// a_i -= the polynomial with these coefficients of tau^0 ... tau^4 at tau_i (Horner), from
// sample `from` to n.
void subtract(double* a, std::size_t from, std::size_t n, double h,
              const double (&coefficients)[terms]);

// The same in vectors, from sample 0 (the moments from zero) as far as whole vectors go: they
// return how far, and the two above go on from there.
struct vector_passes {
  std::size_t (*moments)(const double* d, std::size_t n, double h, double (&moments)[terms][4]);
  std::size_t (*subtract)(double* a, std::size_t n, double h, const double (&coefficients)[terms]);
};

// Those of the widest instruction set the processor has (chosen once), or of the widest compiled
// up to `target`.
vector_passes passes_in_vectors();
vector_passes passes_in_vectors(kernels::vector_target up_to);

}  // namespace processing::baseline_passes
