// The filter's blocks in vector lanes, compiled once per instruction set (Highway) and chosen at
// run time. Each lane computes what the scalar twin (sos_filter.cc) computes, operation for
// operation: the plain pass's step, a multiplication then an addition, never fused.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "processing/sos_filter_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "processing/sos_blocks.h"
#include "processing/vectors-inl.h"

HWY_BEFORE_NAMESPACE();
namespace processing {
namespace HWY_NAMESPACE {

// One section over the lanes, four vectors in flight to fill the time each one waits for the
// one before: y = b0 x + z1, z1 <- (b1 x + z2) - a1 y, z2 <- b2 x - a2 y.
template <bool write, class Row>
HWY_INLINE void RunSection(const section& s, Row* rows, std::size_t steps, bool backward,
                           double* z1, double* z2) {
  const tag d;
  constexpr std::size_t group = 4;
  static_assert(block_lanes % (width * group) == 0);
  const vec b0 = hn::Set(d, s.b0), b1 = hn::Set(d, s.b1), b2 = hn::Set(d, s.b2);
  const vec a1 = hn::Set(d, s.a1), a2 = hn::Set(d, s.a2);
  for (std::size_t chunk = 0; chunk < block_lanes; chunk += width * group) {
    vec m1[group], m2[group];
    for (std::size_t g = 0; g < group; ++g) {
      m1[g] = hn::LoadU(d, z1 + chunk + g * width);
      m2[g] = hn::LoadU(d, z2 + chunk + g * width);
    }
    for (std::size_t m = 0; m < steps; ++m) {
      Row* row = rows + (backward ? steps - 1 - m : m) * block_lanes + chunk;
      for (std::size_t g = 0; g < group; ++g) {
        const vec u = hn::LoadU(d, row + g * width);
        const vec v = hn::Add(hn::Mul(b0, u), m1[g]);
        m1[g] = hn::Sub(hn::Add(hn::Mul(b1, u), m2[g]), hn::Mul(a1, v));
        m2[g] = hn::Sub(hn::Mul(b2, u), hn::Mul(a2, v));
        if constexpr (write) hn::StoreU(v, d, row + g * width);
      }
    }
    for (std::size_t g = 0; g < group; ++g) {
      hn::StoreU(m1[g], d, z1 + chunk + g * width);
      hn::StoreU(m2[g], d, z2 + chunk + g * width);
    }
  }
}

void InPlace(const section& s, double* rows, std::size_t steps, bool backward, double* z1,
             double* z2) {
  RunSection<true>(s, rows, steps, backward, z1, z2);
}

void ToEnd(const section& s, const double* rows, std::size_t steps, bool backward, double* z1,
           double* z2) {
  RunSection<false>(s, rows, steps, backward, z1, z2);
}

// A square tile of vectors turned over in registers: lane j of vector i to lane i of vector j.
template <class D>
HWY_INLINE void Transpose(D d, hn::Vec<D>* r) {
#if HWY_TARGET == HWY_SCALAR
  (void)d, (void)r;  // one lane: a tile of one value
#else
  using V = hn::Vec<D>;
  constexpr std::size_t n = hn::MaxLanes(d);
  static_assert(n == 2 || n == 4);
  const V t0 = hn::InterleaveLower(d, r[0], r[1]), t1 = hn::InterleaveUpper(d, r[0], r[1]);
  if constexpr (n == 2) {
    r[0] = t0;
    r[1] = t1;
  } else {
    // Within 128-bit halves, then the halves.
    const V t2 = hn::InterleaveLower(d, r[2], r[3]), t3 = hn::InterleaveUpper(d, r[2], r[3]);
    r[0] = hn::ConcatLowerLower(d, t2, t0);
    r[1] = hn::ConcatLowerLower(d, t3, t1);
    r[2] = hn::ConcatUpperUpper(d, t2, t0);
    r[3] = hn::ConcatUpperUpper(d, t3, t1);
  }
#endif
}

// Block l of the record (samples l * steps to (l + 1) * steps) into lane l of the rows (sample
// m at [m * block_lanes + l]), or back, in square tiles; the rows past the last whole tile one
// value at a time.
template <bool into_lanes>
HWY_INLINE void MoveBlocks(const double* from, double* to, std::size_t steps) {
  const tag d;
  static_assert(block_lanes % width == 0);
  // Where sample m of block l is in the record and in the rows.
  const auto record = [steps](std::size_t m, std::size_t l) { return l * steps + m; };
  const auto rows = [](std::size_t m, std::size_t l) { return m * block_lanes + l; };
  std::size_t m0 = 0;
  for (; m0 + width <= steps; m0 += width) {
    for (std::size_t l0 = 0; l0 < block_lanes; l0 += width) {
      vec tile[width];
      for (std::size_t i = 0; i < width; ++i) {
        tile[i] = hn::LoadU(d, from + (into_lanes ? record(m0, l0 + i) : rows(m0 + i, l0)));
      }
      Transpose(d, tile);
      for (std::size_t i = 0; i < width; ++i) {
        hn::StoreU(tile[i], d, to + (into_lanes ? rows(m0 + i, l0) : record(m0, l0 + i)));
      }
    }
  }
  for (; m0 < steps; ++m0) {
    for (std::size_t l = 0; l < block_lanes; ++l) {
      to[into_lanes ? rows(m0, l) : record(m0, l)] = from[into_lanes ? record(m0, l) : rows(m0, l)];
    }
  }
}

void ToLanes(const double* x, std::size_t steps, double* rows) {
  MoveBlocks<true>(x, rows, steps);
}

void FromLanes(double* x, std::size_t steps, const double* rows) {
  MoveBlocks<false>(rows, x, steps);
}

}  // namespace HWY_NAMESPACE
}  // namespace processing
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "processing/choose.h"

namespace processing {

block_kernels vector_block_kernels(kernels::vector_target up_to) {
  return {
      .in_place = PROCESSING_CHOOSE_UP_TO(up_to, InPlace),
      .to_end = PROCESSING_CHOOSE_UP_TO(up_to, ToEnd),
      .to_lanes = PROCESSING_CHOOSE_UP_TO(up_to, ToLanes),
      .from_lanes = PROCESSING_CHOOSE_UP_TO(up_to, FromLanes),
  };
}

block_kernels vector_block_kernels() {
  static const block_kernels widest = vector_block_kernels(kernels::best_vector_target());
  return widest;
}

}  // namespace processing
#endif
