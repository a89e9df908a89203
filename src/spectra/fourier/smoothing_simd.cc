// The smoothing's sums in vector lanes, compiled once per instruction set (Highway) and chosen
// at run time. Lane l adds bins l, l + 8, l + 16 ... in rising order, with the operations of the
// scalar twin (smoothing.cc) in the same order: no fused multiply-add (the build forbids
// contraction), so every lane equals the twin's bit for bit, on every instruction set.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "spectra/fourier/smoothing_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "spectra/fourier/smoothing_sums.h"

HWY_BEFORE_NAMESPACE();
namespace fourier::weighted_sums {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The eight lanes as `groups` vectors. Where the vectors' length is only known at run time,
// two lanes a vector: the groups must be known when compiling.
#if HWY_HAVE_SCALABLE
using tag = hn::FixedTag<double, 2>;
#else
using tag = hn::CappedTag<double, width>;
#endif
constexpr std::size_t vector_lanes = hn::MaxLanes(tag());
constexpr std::size_t groups = width / vector_lanes;
static_assert(groups * vector_lanes == width);
using vec = hn::Vec<tag>;

// Bins per pass over the centres: the tables and spectra of a chunk stay in the first-level
// cache while every centre takes its weights from them. Each lane still adds its bins in
// rising order, so the sums do not depend on the chunk.
constexpr std::size_t chunk = 256;

// One centre's sums in lanes: the denominator's, then each spectrum's numerator's.
template <std::size_t count>
struct lane_sums {
  vec denominator[groups];
  vec numerator[count][groups];
};

// The window of one centre (g, its sine and cosine, in every lane).
struct window {
  vec g, sin_g, cos_g;
};

// Eight bins from `at` of the tables and rows: u = phase - g, r = (sin(phase) cos g -
// cos(phase) sin g) / u, w = (r^2)^2; masked, the bins with -near < u < near weigh nothing.
template <std::size_t count, bool masked>
HWY_INLINE void add_block(const window& c, const double* HWY_RESTRICT phase,
                          const double* HWY_RESTRICT sine, const double* HWY_RESTRICT cosine,
                          const double* const* rows, std::size_t at, lane_sums<count>& s) {
  const tag d;
  for (std::size_t v = 0; v < groups; ++v) {
    const std::size_t k = v * vector_lanes;
    const vec u = hn::Sub(hn::LoadU(d, phase + k), c.g);
    const vec r = hn::Div(hn::Sub(hn::Mul(hn::LoadU(d, sine + k), c.cos_g),
                                  hn::Mul(hn::LoadU(d, cosine + k), c.sin_g)),
                          u);
    const vec r2 = hn::Mul(r, r);
    vec w = hn::Mul(r2, r2);
    if constexpr (masked) {
      const auto is_near = hn::And(hn::Lt(u, hn::Set(d, near)), hn::Gt(u, hn::Set(d, -near)));
      w = hn::IfThenZeroElse(is_near, w);
    }
    s.denominator[v] = hn::Add(s.denominator[v], w);
    for (std::size_t i = 0; i < count; ++i) {
      s.numerator[i][v] = hn::Add(s.numerator[i][v], hn::Mul(w, hn::LoadU(d, rows[i] + at + k)));
    }
  }
}

template <std::size_t count>
void sum_blocks(job& j) {
  const tag d;
  // The last bins, in a block whose lanes beyond the spectrum weigh nothing (phase infinite,
  // sine and cosine zero) and hold no amplitude.
  const std::size_t whole = j.size / width * width;
  HWY_ALIGN double tail[3 + count][width];
  for (std::size_t l = 0; l < width; ++l) {
    const bool inside = whole + l < j.size;
    tail[0][l] = inside ? j.phase[whole + l] : std::numeric_limits<double>::infinity();
    tail[1][l] = inside ? j.sine[whole + l] : 0;
    tail[2][l] = inside ? j.cosine[whole + l] : 0;
    for (std::size_t i = 0; i < count; ++i) tail[3 + i][l] = inside ? j.spectra[i][whole + l] : 0;
  }
  const double* tail_rows[count];
  for (std::size_t i = 0; i < count; ++i) tail_rows[i] = tail[3 + i];
  // Each centre's lanes between chunks: rows of eight, the denominator's then the numerators'.
  constexpr std::size_t rows_of_centre = 1 + count;
  std::vector<double> partial(j.centres.size() * rows_of_centre * width, 0.0);
  for (std::size_t from = 0; from < j.size; from += chunk) {
    const std::size_t to = std::min(from + chunk, j.size);
    const std::size_t end = std::min(to, whole);
    for (std::size_t n = 0; n < j.centres.size(); ++n) {
      const centre& c = j.centres[n];
      double* saved = partial.data() + n * rows_of_centre * width;
      const window w{
          .g = hn::Set(d, c.g), .sin_g = hn::Set(d, c.sin_g), .cos_g = hn::Set(d, c.cos_g)};
      lane_sums<count> s;
      for (std::size_t v = 0; v < groups; ++v) {
        s.denominator[v] = hn::LoadU(d, saved + v * vector_lanes);
        for (std::size_t i = 0; i < count; ++i) {
          s.numerator[i][v] = hn::LoadU(d, saved + (1 + i) * width + v * vector_lanes);
        }
      }
      // The blocks that hold near bins, whose weights the caller adds.
      const std::size_t mask_from = c.near_first / width * width;
      const std::size_t mask_to = (c.near_end + width - 1) / width * width;
      std::size_t k = from;
      for (; k < std::min(end, mask_from); k += width) {
        add_block<count, false>(w, j.phase + k, j.sine + k, j.cosine + k, j.spectra, k, s);
      }
      for (; k < std::min(end, mask_to); k += width) {
        add_block<count, true>(w, j.phase + k, j.sine + k, j.cosine + k, j.spectra, k, s);
      }
      for (; k < end; k += width) {
        add_block<count, false>(w, j.phase + k, j.sine + k, j.cosine + k, j.spectra, k, s);
      }
      if (k < to) add_block<count, true>(w, tail[0], tail[1], tail[2], tail_rows, 0, s);
      for (std::size_t v = 0; v < groups; ++v) {
        hn::StoreU(s.denominator[v], d, saved + v * vector_lanes);
        for (std::size_t i = 0; i < count; ++i) {
          hn::StoreU(s.numerator[i][v], d, saved + (1 + i) * width + v * vector_lanes);
        }
      }
    }
  }
  for (std::size_t n = 0; n < j.centres.size(); ++n) {
    const double* saved = partial.data() + n * rows_of_centre * width;
    j.centres[n].denominator = lane_total(saved);
    for (std::size_t i = 0; i < count; ++i) {
      j.centres[n].numerator[i] = lane_total(saved + (1 + i) * width);
    }
  }
}

void SumInLanes(job& j) {
  switch (j.count) {
    case 1:
      return sum_blocks<1>(j);
    case 2:
      return sum_blocks<2>(j);
    case 3:
      return sum_blocks<3>(j);
    default:
      return sum_blocks<4>(j);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace fourier::weighted_sums
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace fourier::weighted_sums {

void in_lanes(job& j) {
  static const auto sum = KERNELS_CHOOSE(SumInLanes);
  sum(j);
}

void in_lanes_on(kernels::vector_target target, job& j) {
  kernels::chosen(target, KERNELS_ON_AVX3(SumInLanes), KERNELS_ON_AVX2(SumInLanes),
                  KERNELS_ON_SSE4(SumInLanes), KERNELS_ON_SSSE3(SumInLanes),
                  HWY_STATIC_DISPATCH(SumInLanes))(j);
}

}  // namespace fourier::weighted_sums
#endif
