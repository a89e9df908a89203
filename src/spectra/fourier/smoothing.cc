// The smoothing sums, eight bins at a time in vector lanes. With u = b log10(k df / fc) =
// phase_k - g, where phase_k = b log10 k and g = b log10(fc / df), the window's sine is
// sin(phase_k) cos g - cos(phase_k) sin g: two products per weight where the formula asks
// for a logarithm and a sine. That difference keeps only the absolute accuracy of its terms,
// a few times 2^-53, which sin(u) / u magnifies by 1/|u|: the bins with |u| < 1/32 take
// sin(u) / u itself (the sums then agree with the definition in long double within 1e-13).
#include "spectra/fourier/smoothing.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

// The lanes are a fixed eight doubles whatever the processor, so the sums come out the same
// on every machine; the compiler makes a copy of the kernel for AVX-512 and for AVX2, and the
// loader picks the one this processor runs.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FOURIER_LANE_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define FOURIER_LANE_CLONES
#endif
// The lanes pass between functions of this file only, all inlined into the kernel: the
// compilers' note that their passing differs with and without AVX concerns no interface.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace fourier {
namespace {

constexpr std::size_t width = 8;         // bins per block of lanes
constexpr std::size_t most_at_once = 4;  // spectra sharing one pass over the weights
constexpr double near = 1.0 / 32;        // |u| under which a bin takes sin(u) / u itself

typedef double lanes __attribute__((vector_size(width * sizeof(double))));
typedef std::int64_t lane_mask __attribute__((vector_size(width * sizeof(double))));

// One centre: where its window stands, and its sums (out).
struct centre_sums {
  double g, sin_g, cos_g;            // b log10(fc / df) and its sine and cosine
  std::size_t near_first, near_end;  // [first, end): the bins with |u| < near among them
  double numerator[most_at_once];    // the lanes' sums, added up in a fixed order
  double denominator;
};

// The sums of every centre over up to four spectra of one size, the near bins left out.
struct smoothing_job {
  const double* phase;
  const double* sine;
  const double* cosine;
  const double* spectra[most_at_once];
  std::size_t count;  // spectra
  std::size_t size;   // bins of each
  std::span<centre_sums> centres;
};

inline __attribute__((always_inline)) lanes load(const double* p) {
  lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline __attribute__((always_inline)) void store(double* p, lanes v) {
  std::memcpy(p, &v, sizeof v);
}

inline __attribute__((always_inline)) double lane_total(lanes v) {
  return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
}

// Bins per pass over the centres: the tables and spectra of a chunk stay in the first-level
// cache while every centre takes its weights from them. Each lane still adds its bins in
// rising order, so the sums do not depend on the chunk.
constexpr std::size_t chunk = 256;

template <std::size_t count>
inline __attribute__((always_inline)) void sum_blocks(smoothing_job& job) {
  const lanes zero = {};
  // The last bins, in a block whose lanes beyond the spectrum weigh nothing (phase infinite,
  // sine and cosine zero) and hold no amplitude.
  const std::size_t whole = job.size / width * width;
  double tail[3 + count][width];
  for (std::size_t l = 0; l < width; ++l) {
    const bool inside = whole + l < job.size;
    tail[0][l] = inside ? job.phase[whole + l] : std::numeric_limits<double>::infinity();
    tail[1][l] = inside ? job.sine[whole + l] : 0;
    tail[2][l] = inside ? job.cosine[whole + l] : 0;
    for (std::size_t i = 0; i < count; ++i) {
      tail[3 + i][l] = inside ? job.spectra[i][whole + l] : 0;
    }
  }
  const double* tail_rows[count];
  for (std::size_t i = 0; i < count; ++i) tail_rows[i] = tail[3 + i];
  // Each centre's lanes between chunks: the denominator's, then each spectrum's numerator's.
  std::vector<double> partial(job.centres.size() * (1 + count) * width, 0.0);
  for (std::size_t from = 0; from < job.size; from += chunk) {
    const std::size_t to = std::min(from + chunk, job.size);
    for (std::size_t j = 0; j < job.centres.size(); ++j) {
      const centre_sums& c = job.centres[j];
      double* saved = partial.data() + j * (1 + count) * width;
      const lanes g = zero + c.g, sin_g = zero + c.sin_g, cos_g = zero + c.cos_g;
      // The blocks that hold near bins, whose weights the caller adds.
      const std::size_t mask_from = c.near_first / width * width;
      const std::size_t mask_to = (c.near_end + width - 1) / width * width;
      lanes d = load(saved), n[count];
      for (std::size_t i = 0; i < count; ++i) n[i] = load(saved + (1 + i) * width);
      // One block of lanes from bin `at` of the rows; masked, the near bins weigh nothing.
      const auto block = [&](const double* phase, const double* sine, const double* cosine,
                             const double* const* rows, std::size_t at, bool masked) {
        const lanes u = load(phase) - g;
        const lanes r = (load(sine) * cos_g - load(cosine) * sin_g) / u;
        const lanes r2 = r * r;
        lanes w = r2 * r2;
        if (masked) {
          const lane_mask is_near = (lane_mask)(u < near) & (lane_mask)(u > -near);
          w = (lanes)((lane_mask)w & ~is_near);
        }
        d += w;
        for (std::size_t i = 0; i < count; ++i) n[i] += w * load(rows[i] + at);
      };
      const std::size_t end = std::min(to, whole);
      std::size_t k = from;
      for (; k < std::min(end, mask_from); k += width) {
        block(job.phase + k, job.sine + k, job.cosine + k, job.spectra, k, false);
      }
      for (; k < std::min(end, mask_to); k += width) {
        block(job.phase + k, job.sine + k, job.cosine + k, job.spectra, k, true);
      }
      for (; k < end; k += width) {
        block(job.phase + k, job.sine + k, job.cosine + k, job.spectra, k, false);
      }
      if (k < to) block(tail[0], tail[1], tail[2], tail_rows, 0, true);
      store(saved, d);
      for (std::size_t i = 0; i < count; ++i) store(saved + (1 + i) * width, n[i]);
    }
  }
  for (std::size_t j = 0; j < job.centres.size(); ++j) {
    const double* saved = partial.data() + j * (1 + count) * width;
    job.centres[j].denominator = lane_total(load(saved));
    for (std::size_t i = 0; i < count; ++i) {
      job.centres[j].numerator[i] = lane_total(load(saved + (1 + i) * width));
    }
  }
}

FOURIER_LANE_CLONES void sum_in_lanes(smoothing_job& job) {
  switch (job.count) {
    case 1:
      return sum_blocks<1>(job);
    case 2:
      return sum_blocks<2>(job);
    case 3:
      return sum_blocks<3>(job);
    default:
      return sum_blocks<4>(job);
  }
}

// sum_in_lanes one bin at a time: lane l adds the bins k = l mod 8.
void sum_one_lane(smoothing_job& job) {
  for (centre_sums& c : job.centres) {
    double d[width] = {}, n[most_at_once][width] = {};
    for (std::size_t k = 0; k < job.size; ++k) {
      const double u = job.phase[k] - c.g;
      if (u < near && u > -near) continue;
      const double r = (job.sine[k] * c.cos_g - job.cosine[k] * c.sin_g) / u;
      const double r2 = r * r;
      const double w = r2 * r2;
      d[k % width] += w;
      for (std::size_t i = 0; i < job.count; ++i) n[i][k % width] += w * job.spectra[i][k];
    }
    const auto total = [](const double* v) {
      return ((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]));
    };
    c.denominator = total(d);
    for (std::size_t i = 0; i < job.count; ++i) c.numerator[i] = total(n[i]);
  }
}

using summation = void (*)(smoothing_job&);

std::vector<std::vector<double>> smooth_with(summation sum, const konno_ohmachi& plan,
                                             const double* phase, const double* sine,
                                             const double* cosine,
                                             std::span<const std::span<const double>> spectra,
                                             double df) {
  assert(df > 0 && std::isfinite(df));
  const std::size_t size = spectra.empty() ? 0 : spectra[0].size();
  assert(size >= 2 && size <= plan.bins());
  const double b = plan.bandwidth();
  const std::vector<double>& frequencies = plan.centres();
  std::vector<centre_sums> centres;
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
    smoothing_job job{.phase = phase,
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
      const centre_sums& c = centres[j];
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
  return smooth_with(sum_in_lanes, *this, phase_.data(), sine_.data(), cosine_.data(), spectra, df);
}

std::vector<std::vector<double>> konno_ohmachi::smooth_one_lane(
    std::span<const std::span<const double>> spectra, double df) const {
  return smooth_with(sum_one_lane, *this, phase_.data(), sine_.data(), cosine_.data(), spectra, df);
}

std::vector<double> smooth(std::span<const double> amplitudes, double df,
                           std::span<const double> centres, double b) {
  const konno_ohmachi plan(b, std::vector<double>(centres.begin(), centres.end()),
                           amplitudes.size());
  const std::span<const double> one[] = {amplitudes};
  return plan.smooth(one, df)[0];
}

}  // namespace fourier
