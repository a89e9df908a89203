// The smoothing, its sums eight bins at a time in vector lanes (smoothing_simd.cc). With u = b
// log10(k df / fc) = phase_k - g, where phase_k = b log10 k and g = b log10(fc / df), the window's
// sine is sin(phase_k) cos g - cos(phase_k) sin g: two products per weight where the formula asks
// for a logarithm and a sine. That difference keeps only the absolute accuracy of its terms,
// a few times 2^-53, which sin(u) / u magnifies by 1/|u|: the bins with |u| < 1/32 take
// sin(u) / u itself (the sums then agree with the definition in long double within 1e-13).
#include "spectra/fourier/smoothing.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "spectra/fourier/smoothing_sums.h"

namespace fourier {
namespace weighted_sums {

// The twin of the lanes (smoothing_simd.cc): bin k in lane k mod 8, the near bins skipped.
void one_lane(job& j) {
  for (centre& c : j.centres) {
    double d[width] = {}, n[most_at_once][width] = {};
    for (std::size_t k = 0; k < j.size; ++k) {
      const double u = j.phase[k] - c.g;
      if (u < near && u > -near) continue;
      const double r = (j.sine[k] * c.cos_g - j.cosine[k] * c.sin_g) / u;
      const double r2 = r * r;
      const double w = r2 * r2;
      d[k % width] += w;
      for (std::size_t i = 0; i < j.count; ++i) n[i][k % width] += w * j.spectra[i][k];
    }
    c.denominator = lane_total(d);
    for (std::size_t i = 0; i < j.count; ++i) c.numerator[i] = lane_total(n[i]);
  }
}

}  // namespace weighted_sums

namespace {

using weighted_sums::most_at_once;
using weighted_sums::near;
using weighted_sums::width;

// The sums of weighted_sums::job by `sum`, then the near bins of each centre.
template <class Sum>
std::vector<std::vector<double>> smooth_with(const Sum& sum, const konno_ohmachi& plan,
                                             const double* phase, const double* sine,
                                             const double* cosine,
                                             std::span<const std::span<const double>> spectra,
                                             double df) {
  assert(df > 0 && std::isfinite(df));
  const std::size_t size = spectra.empty() ? 0 : spectra[0].size();
  assert(size >= 2 && size <= plan.bins());
  const double b = plan.bandwidth();
  const std::vector<double>& frequencies = plan.centres();
  std::vector<weighted_sums::centre> centres;
  for (double fc : frequencies) {
    const double g = b * (std::log10(fc) - std::log10(df));
    // phase rises with k (from -infinity at k = 0); a bin more on each side makes sure of the
    // bins that the rounding of phase_k - g puts within |u| < near.
    const std::size_t first =
        static_cast<std::size_t>(std::upper_bound(phase, phase + size, g - near) - phase);
    const std::size_t end =
        static_cast<std::size_t>(std::lower_bound(phase, phase + size, g + near) - phase);
    centres.push_back({.g = g,
                       .sin_g = std::sin(g),
                       .cos_g = std::cos(g),
                       .near_first = first == 0 ? 0 : first - 1,
                       .near_end = std::min(size, end + 1)});
  }
  std::vector<std::vector<double>> out(spectra.size(), std::vector<double>(frequencies.size()));
  for (std::size_t group = 0; group < spectra.size(); group += most_at_once) {
    weighted_sums::job job{.phase = phase,
                           .sine = sine,
                           .cosine = cosine,
                           .count = std::min(most_at_once, spectra.size() - group),
                           .size = size,
                           .centres = centres};
    for (std::size_t i = 0; i < job.count; ++i) {
      assert(spectra[group + i].size() == size);
      job.spectra[i] = spectra[group + i].data();
    }
    sum(job);
    for (std::size_t j = 0; j < centres.size(); ++j) {
      const weighted_sums::centre& c = centres[j];
      // The near bins, one after another after the lanes, each with its exact sine.
      double numerator[most_at_once], denominator = c.denominator;
      std::copy(c.numerator, c.numerator + job.count, numerator);
      for (std::size_t k = c.near_first; k < c.near_end; ++k) {
        const double u = phase[k] - c.g;
        if (!(u < near && u > -near)) continue;
        const double r = u == 0 ? 1 : std::sin(u) / u;
        const double r2 = r * r;
        const double w = r2 * r2;
        denominator += w;
        for (std::size_t i = 0; i < job.count; ++i) numerator[i] += w * job.spectra[i][k];
      }
      // A zero spectrum stays zero: some weight is positive, so the denominator is not zero.
      for (std::size_t i = 0; i < job.count; ++i) out[group + i][j] = numerator[i] / denominator;
    }
  }
  return out;
}

}  // namespace

base::status check_smoothing(double b, std::span<const double> centres) {
  if (!(b > 0 && b <= 1000)) {
    return base::failure("the bandwidth b is above 0 and at most 1000", base::code::usage);
  }
  if (centres.empty()) return base::failure("no frequencies to smooth at", base::code::usage);
  for (double f : centres) {
    if (!(f > 0) || !std::isfinite(f)) {
      return base::failure("frequencies to smooth at are positive", base::code::usage);
    }
  }
  return {};
}

konno_ohmachi::konno_ohmachi(double b, std::vector<double> centres, std::size_t bins)
    : b_(b), centres_(std::move(centres)), bins_(bins) {
  assert(check_smoothing(b_, centres_).ok() && bins_ >= 2);
  const std::size_t padded = (bins_ + width - 1) / width * width;
  phase_.assign(padded, std::numeric_limits<double>::infinity());
  sine_.assign(padded, 0);
  cosine_.assign(padded, 0);
  // The zero frequency weighs nothing: u = -infinity there, and its sine term is zero.
  phase_[0] = -std::numeric_limits<double>::infinity();
  for (std::size_t k = 1; k < bins_; ++k) {
    phase_[k] = b_ * std::log10(static_cast<double>(k));
    sine_[k] = std::sin(phase_[k]);
    cosine_[k] = std::cos(phase_[k]);
  }
}

std::vector<std::vector<double>> konno_ohmachi::smooth(
    std::span<const std::span<const double>> spectra, double df) const {
  return smooth_with(weighted_sums::in_lanes, *this, phase_.data(), sine_.data(), cosine_.data(),
                     spectra, df);
}

std::vector<std::vector<double>> konno_ohmachi::smooth_on(
    kernels::vector_target target, std::span<const std::span<const double>> spectra,
    double df) const {
  const auto sum = [target](weighted_sums::job& j) { weighted_sums::in_lanes_on(target, j); };
  return smooth_with(sum, *this, phase_.data(), sine_.data(), cosine_.data(), spectra, df);
}

std::vector<std::vector<double>> konno_ohmachi::smooth_one_lane(
    std::span<const std::span<const double>> spectra, double df) const {
  return smooth_with(weighted_sums::one_lane, *this, phase_.data(), sine_.data(), cosine_.data(),
                     spectra, df);
}

std::vector<double> smooth(std::span<const double> amplitudes, double df,
                           std::span<const double> centres, double b) {
  const konno_ohmachi plan(b, std::vector<double>(centres.begin(), centres.end()),
                           amplitudes.size());
  const std::span<const double> one[] = {amplitudes};
  return plan.smooth(one, df)[0];
}

}  // namespace fourier
