// Konno and Ohmachi's (1998) smoothing of Fourier amplitude spectra: at each centre frequency
// fc, the weighted mean of the amplitudes A(f_k) at every bin f_k = k df,
//   S(fc) = sum_k W(f_k, fc) A(f_k) / sum_k W(f_k, fc),
//   W(f, fc) = [sin(b log10(f / fc)) / (b log10(f / fc))]^4,  W(fc, fc) = 1,  W(0, fc) = 0
// (the limits of the formula). No weight is left out: see docs/fourier.md on why a cut would
// not do. Pure: amplitudes in, smoothed values out.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "base/status.h"

namespace kernels {
enum class vector_target;  // kernels/dispatch.h
}

namespace fourier {

// The bandwidth b most use for a spectrum; 188.5 is Goulet et al.'s (2018) for the EAS.
inline constexpr double default_bandwidth = 40;

// b in (0, 1000] and centres positive and finite, at least one; else why not (usage).
base::status check_smoothing(double b, std::span<const double> centres);

// What a smoothing does not owe to the spectra: the bandwidth, the centres, and for every bin
// up to a size, the phase b log10 k of the window and its sine and cosine. Built once, it
// smooths any number of spectra of up to that size, of any df, from any thread.
class konno_ohmachi {
 public:
  // Preconditions: check_smoothing(b, centres) is ok; bins >= 2.
  konno_ohmachi(double b, std::vector<double> centres, std::size_t bins);

  double bandwidth() const { return b_; }
  const std::vector<double>& centres() const { return centres_; }
  std::size_t bins() const { return bins_; }

  // S(fc) at each centre for each spectrum. The spectra hold amplitudes (finite, not negative)
  // at k df, one size for all of them, from 2 to bins(); df > 0. The weights are worked out
  // once for all the spectra of a call (a record's components and their EAS).
  std::vector<std::vector<double>> smooth(std::span<const std::span<const double>> spectra,
                                          double df) const;

  // smooth() with the lanes compiled for an instruction set, or the widest compiled below it
  // (the processor must run it): every one must equal smooth_one_lane() (for the tests).
  std::vector<std::vector<double>> smooth_on(kernels::vector_target target,
                                             std::span<const std::span<const double>> spectra,
                                             double df) const;

  // The same sums in the same order one bin at a time, with no vector lanes: smooth() must
  // equal it bit for bit (for the tests and the benchmarks).
  std::vector<std::vector<double>> smooth_one_lane(std::span<const std::span<const double>> spectra,
                                                   double df) const;

 private:
  double b_ = default_bandwidth;
  std::vector<double> centres_;
  std::size_t bins_ = 0;
  std::vector<double> phase_, sine_, cosine_;  // by bin, padded to whole blocks of lanes
};

// One spectrum smoothed at the centres (the preconditions of konno_ohmachi and of smooth).
std::vector<double> smooth(std::span<const double> amplitudes, double df,
                           std::span<const double> centres, double b = default_bandwidth);

}  // namespace fourier
