// The sums of the Konno-Ohmachi smoothing over the bins of up to four spectra, the bins nearest
// each centre left out: in vector lanes (smoothing_simd.cc) and one bin at a time, the scalar
// twin (smoothing.cc), which the lanes equal bit for bit. Internal to the smoothing.
#pragma once

#include <cstddef>
#include <span>

namespace kernels {
enum class vector_target;
}

namespace fourier::weighted_sums {

// Bin k is summed in lane k mod 8 whatever the processor (eight lanes are one vector of
// AVX-512, two of AVX2, four of SSE), and the lanes are added up in one order: so the sums do
// not depend on the instruction set.
inline constexpr std::size_t width = 8;
inline constexpr std::size_t most_at_once = 4;  // spectra sharing one pass over the weights
inline constexpr double near = 1.0 / 32;        // |u| under which a bin takes sin(u) / u itself

// One centre: where its window stands, and its sums (out).
struct centre {
  double g, sin_g, cos_g;            // b log10(fc / df) and its sine and cosine
  std::size_t near_first, near_end;  // [first, end): the bins with |u| < near among them
  double numerator[most_at_once];    // the lanes' sums, added up in a fixed order
  double denominator;
};

// The sums of every centre over up to four spectra of one size, the near bins left out. The
// tables hold the bins' phase b log10 k, its sine and its cosine.
struct job {
  const double* phase;
  const double* sine;
  const double* cosine;
  const double* spectra[most_at_once];
  std::size_t count;  // spectra
  std::size_t size;   // bins of each
  std::span<centre> centres;
};

// The lanes' sums of ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7])).
inline double lane_total(const double* v) {
  return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

// In vector lanes, on the widest instruction set compiled that the processor runs.
void in_lanes(job& j);
// The same on the widest compiled that is no wider than target (the processor must run it).
void in_lanes_on(kernels::vector_target target, job& j);
// One bin at a time: lane k mod 8 takes bin k.
void one_lane(job& j);

}  // namespace fourier::weighted_sums
