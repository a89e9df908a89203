#include "processing/sos_filter.h"

#include <cassert>
#include <memory>

#include "processing/vectors.h"

// A pass of a recursive filter is a chain: each sample waits for the one before, and the
// processor idles between them. A long record is therefore cut into `lanes` blocks that one
// section filters side by side in vector registers, section after section: first each block from
// rest (the first from the true memory) for the memory it ends in; then the true memory at each
// block's start, which is where the block before ends: its own starting memory carried over its
// samples by the section's transition matrix, plus what it ends in from rest; then each block
// again from its true start. Within a block every sample is computed as the plain pass computes
// it, and the lanes are the same on every instruction set, so the results are the same bit for
// bit on all of them.
//
// At low corners the poles crowd z = 1, and the transition over a block has entries in the
// hundreds that cancel: worked out and carried in doubles, the blocks would differ from the plain
// pass by 1.2e-11 of a record's peak at a corner of 1.5e-4 of the sampling rate (order 4, one
// pass). The transition and the carrying are therefore worked out in double-double arithmetic,
// from the section's exact coefficients: 2e-12, the plain pass's own rounding.

namespace processing {
namespace {

constexpr std::size_t lanes = 16;
// Blocks shorter than this are not worth the second run: the plain pass.
constexpr std::size_t shortest_block = 64;

inline double step(const section& s, double x, double& z1, double& z2) {
  const double y = s.b0 * x + z1;
  z1 = (s.b1 * x + z2) - s.a1 * y;
  z2 = s.b2 * x - s.a2 * y;
  return y;
}

// n samples of x, forwards from the first or backwards from the last.
void plain(std::span<const section> sections, double* x, std::size_t n, bool backward,
           double* state) {
  for (std::size_t i = 0; i < n; ++i) {
    double& sample = x[backward ? n - 1 - i : i];
    double v = sample;
    for (std::size_t j = 0; j < sections.size(); ++j) {
      v = step(sections[j], v, state[2 * j], state[2 * j + 1]);
    }
    sample = v;
  }
}

// One section over every lane for `steps` rows of `lanes` samples (row m at [m * lanes]),
// forwards or backwards, in place, or only for the memories it ends in (z1 and z2, one per
// lane). The same operations as `step`, a vector of lanes at a time, four vectors in flight to
// fill the time each one waits for the one before.
template <class V, bool write>
[[gnu::always_inline]] inline void run_section(const section& s, double* rows, std::size_t steps,
                                               bool backward, double* z1, double* z2) {
  using vectors::load, vectors::store;
  constexpr std::size_t width = vectors::width<V>;
  constexpr std::size_t group = 4;
  static_assert(lanes % (width * group) == 0);
  // A copy the rows cannot overlap: the coefficients stay in registers.
  const section c = s;
  for (std::size_t chunk = 0; chunk < lanes; chunk += width * group) {
    V m1[group], m2[group];
    for (std::size_t g = 0; g < group; ++g) {
      m1[g] = load<V>(z1 + chunk + g * width);
      m2[g] = load<V>(z2 + chunk + g * width);
    }
    for (std::size_t m = 0; m < steps; ++m) {
      double* row = rows + (backward ? steps - 1 - m : m) * lanes + chunk;
      for (std::size_t g = 0; g < group; ++g) {
        const V u = load<V>(row + g * width);
        const V v = c.b0 * u + m1[g];
        m1[g] = (c.b1 * u + m2[g]) - c.a1 * v;
        m2[g] = c.b2 * u - c.a2 * v;
        if constexpr (write) store(row + g * width, v);
      }
    }
    for (std::size_t g = 0; g < group; ++g) {
      store(z1 + chunk + g * width, m1[g]);
      store(z2 + chunk + g * width, m2[g]);
    }
  }
}

// Block l of x (samples l * steps to (l + 1) * steps) into lane l of rows (sample m at
// [m * lanes + l]), or back: square tiles of a vector's width, turned over in registers.
inline void transpose(vectors::pair (&r)[2]) {
  const vectors::pair a = r[0], b = r[1];
  r[0] = __builtin_shufflevector(a, b, 0, 2);
  r[1] = __builtin_shufflevector(a, b, 1, 3);
}
#if defined(__x86_64__)
[[gnu::always_inline]] inline void transpose(vectors::quad (&r)[4]) {
  const vectors::quad t0 = __builtin_shufflevector(r[0], r[1], 0, 4, 2, 6);
  const vectors::quad t1 = __builtin_shufflevector(r[0], r[1], 1, 5, 3, 7);
  const vectors::quad t2 = __builtin_shufflevector(r[2], r[3], 0, 4, 2, 6);
  const vectors::quad t3 = __builtin_shufflevector(r[2], r[3], 1, 5, 3, 7);
  r[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  r[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  r[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  r[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}
#endif

template <class V, bool into_lanes>
[[gnu::always_inline]] inline void move_blocks(double* x, std::size_t steps, double* rows) {
  using vectors::load, vectors::store;
  constexpr std::size_t width = vectors::width<V>;
  static_assert(lanes % width == 0);
  std::size_t m0 = 0;
  for (; m0 + width <= steps; m0 += width) {
    for (std::size_t l0 = 0; l0 < lanes; l0 += width) {
      V tile[width];
      for (std::size_t i = 0; i < width; ++i) {
        tile[i] =
            into_lanes ? load<V>(x + (l0 + i) * steps + m0) : load<V>(rows + (m0 + i) * lanes + l0);
      }
      transpose(tile);
      for (std::size_t i = 0; i < width; ++i) {
        if constexpr (into_lanes) {
          store(rows + (m0 + i) * lanes + l0, tile[i]);
        } else {
          store(x + (l0 + i) * steps + m0, tile[i]);
        }
      }
    }
  }
  for (; m0 < steps; ++m0) {
    for (std::size_t l = 0; l < lanes; ++l) {
      if constexpr (into_lanes) {
        rows[m0 * lanes + l] = x[l * steps + m0];
      } else {
        x[l * steps + m0] = rows[m0 * lanes + l];
      }
    }
  }
}

// What runs on an instruction set: one section over the lanes, for the memories the lanes end
// in or in place; the record into blocks and back.
struct kernels {
  void (*to_end)(const section&, double*, std::size_t, bool, double*, double*);
  void (*in_place)(const section&, double*, std::size_t, bool, double*, double*);
  void (*to_lanes)(double*, std::size_t, double*);
  void (*from_lanes)(double*, std::size_t, double*);
};

template <class V>
struct kernels_of {
  static void to_end(const section& s, double* rows, std::size_t steps, bool backward, double* z1,
                     double* z2) {
    run_section<V, false>(s, rows, steps, backward, z1, z2);
  }
  static void in_place(const section& s, double* rows, std::size_t steps, bool backward, double* z1,
                       double* z2) {
    run_section<V, true>(s, rows, steps, backward, z1, z2);
  }
  static void to_lanes(double* x, std::size_t steps, double* rows) {
    move_blocks<V, true>(x, steps, rows);
  }
  static void from_lanes(double* x, std::size_t steps, double* rows) {
    move_blocks<V, false>(x, steps, rows);
  }
};

#if defined(__x86_64__)
// The same, compiled for AVX2, and for AVX2 with AVX-512's 32 registers (the same vectors of four,
// the same operations: the four vectors in flight and the coefficients then fit in registers).
#define PROCESSING_SOS_KERNELS(name, instructions)                                                 \
  struct name {                                                                                    \
    [[gnu::target(instructions)]] static void to_end(const section& s, double* rows,               \
                                                     std::size_t steps, bool backward, double* z1, \
                                                     double* z2) {                                 \
      run_section<vectors::quad, false>(s, rows, steps, backward, z1, z2);                         \
    }                                                                                              \
    [[gnu::target(instructions)]] static void in_place(const section& s, double* rows,             \
                                                       std::size_t steps, bool backward,           \
                                                       double* z1, double* z2) {                   \
      run_section<vectors::quad, true>(s, rows, steps, backward, z1, z2);                          \
    }                                                                                              \
    [[gnu::target(instructions)]] static void to_lanes(double* x, std::size_t steps,               \
                                                       double* rows) {                             \
      move_blocks<vectors::quad, true>(x, steps, rows);                                            \
    }                                                                                              \
    [[gnu::target(instructions)]] static void from_lanes(double* x, std::size_t steps,             \
                                                         double* rows) {                           \
      move_blocks<vectors::quad, false>(x, steps, rows);                                           \
    }                                                                                              \
    static constexpr kernels all = {to_end, in_place, to_lanes, from_lanes};                       \
  };
PROCESSING_SOS_KERNELS(avx2_kernels, "avx2")
PROCESSING_SOS_KERNELS(avx512_kernels, "avx2,avx512f,avx512vl")
#undef PROCESSING_SOS_KERNELS
#endif

kernels kernels_for(instruction_set set) {
#if defined(__x86_64__)
  if (set == instruction_set::avx512) return avx512_kernels::all;
  if (set == instruction_set::avx2) return avx2_kernels::all;
#endif
  (void)set;
  using baseline = kernels_of<vectors::pair>;
  return {baseline::to_end, baseline::in_place, baseline::to_lanes, baseline::from_lanes};
}

// Double-double numbers: hi + lo, |lo| at most half an ulp of hi, about 106 bits. The error-free
// sum (Knuth) and product (Dekker, with Veltkamp's split: exact because the build never fuses a
// multiplication and an addition).
struct wide {
  double hi = 0, lo = 0;
};
wide two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}
wide normalized(double hi, double lo) {
  const double s = hi + lo;
  return {s, lo - (s - hi)};
}
wide two_product(double a, double b) {
  constexpr double split = 134217729.0;  // 2^27 + 1
  const double p = a * b;
  double t = split * a;
  const double ah = t - (t - a), al = a - ah;
  t = split * b;
  const double bh = t - (t - b), bl = b - bh;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}
wide operator+(wide a, wide b) {
  const wide s = two_sum(a.hi, b.hi);
  return normalized(s.hi, s.lo + (a.lo + b.lo));
}
wide operator-(wide a) {
  return {-a.hi, -a.lo};
}
wide operator*(wide a, wide b) {
  const wide p = two_product(a.hi, b.hi);
  return normalized(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// A section's memories carried over n samples of zero input: z <- A z with A = [[-a1, 1],
// [-a2, 0]], so that A^2 = -a1 A - a2 I (Cayley-Hamilton) and A^n = c A + d I, with
// A^(n+1): c <- d - a1 c, d <- -a2 c, and A^(2n): c <- 2 c d - a1 c^2, d <- d^2 - a2 c^2.
struct carry {
  wide m11, m12, m21, m22;
};
carry transition(const section& s, std::size_t n) {
  const wide a1{s.a1}, a2{s.a2};
  wide c{1}, d{0};  // A^1
  int top = 0;
  while ((n >> (top + 1)) != 0) ++top;
  for (int bit = top - 1; bit >= 0; --bit) {
    const wide cc = c * c;
    const wide cd = c * d;
    c = (cd + cd) + -(a1 * cc);
    d = d * d + -(a2 * cc);
    if ((n >> bit) & 1) {
      const wide next = d + -(a1 * c);
      d = -(a2 * c);
      c = next;
    }
  }
  return {d + -(a1 * c), c, -(a2 * c), d};
}

// One section over the blocks held lane by lane in `rows` (sample m of block l at
// [m * lanes + l]), forwards (block 0 first) or backwards, from the memory z (two values),
// left as the pass ends.
void blocked_section(const section& s, const kernels& run, double* rows, std::size_t steps,
                     bool backward, double* z) {
  // The blocks in the order the pass meets them.
  const auto block = [&](std::size_t k) { return backward ? lanes - 1 - k : k; };
  double z1[lanes] = {}, z2[lanes] = {};
  z1[block(0)] = z[0];
  z2[block(0)] = z[1];
  run.to_end(s, rows, steps, backward, z1, z2);
  // The first block started from its true memory: what it ends in is true already.
  const carry a = transition(s, steps);
  wide m1{z[0]}, m2{z[1]};
  double start1[lanes], start2[lanes];
  for (std::size_t k = 0; k < lanes; ++k) {
    const std::size_t l = block(k);
    start1[l] = m1.hi;
    start2[l] = m2.hi;
    const wide ended1{z1[l]}, ended2{z2[l]};
    if (k == 0) {
      m1 = ended1;
      m2 = ended2;
    } else {
      const wide next1 = (a.m11 * m1 + a.m12 * m2) + ended1;
      m2 = (a.m21 * m1 + a.m22 * m2) + ended2;
      m1 = next1;
    }
  }
  run.in_place(s, rows, steps, backward, start1, start2);
  z[0] = start1[block(lanes - 1)];
  z[1] = start2[block(lanes - 1)];
}

void scale_steady_state(std::span<const section> sections, double value, std::span<double> state) {
  const std::vector<double> unit = steady_state(sections);
  for (std::size_t c = 0; c < state.size(); ++c) state[c] = unit[c] * value;
}

// Forwards from state, and backwards too when asked (from the steady state of the last value).
// The samples past the last whole row of blocks go sample after sample: after the blocks
// forwards, before them backwards.
void passes(std::span<const section> sections, std::span<double> x, std::span<double> state,
            bool and_back, instruction_set set, std::span<double> scratch) {
  assert(state.size() == 2 * sections.size());
  const std::size_t n = x.size();
  const std::size_t steps = n / lanes;
  if (steps < shortest_block) {
    plain(sections, x.data(), n, false, state.data());
    if (and_back && n > 0) {
      scale_steady_state(sections, x[n - 1], state);
      plain(sections, x.data(), n, true, state.data());
    }
    return;
  }
  const kernels run = kernels_for(set);
  const std::size_t body = steps * lanes, tail = n - body;
  std::unique_ptr<double[]> own;
  double* rows = scratch.data();
  if (scratch.size() < body) {
    own = std::make_unique_for_overwrite<double[]>(body);
    rows = own.get();
  }
  run.to_lanes(x.data(), steps, rows);
  for (std::size_t j = 0; j < sections.size(); ++j) {
    blocked_section(sections[j], run, rows, steps, false, &state[2 * j]);
  }
  plain(sections, x.data() + body, tail, false, state.data());
  if (and_back) {
    scale_steady_state(sections, tail > 0 ? x[n - 1] : rows[body - 1], state);
    plain(sections, x.data() + body, tail, true, state.data());
    for (std::size_t j = 0; j < sections.size(); ++j) {
      blocked_section(sections[j], run, rows, steps, true, &state[2 * j]);
    }
  }
  run.from_lanes(x.data(), steps, rows);
}

}  // namespace

std::vector<double> steady_state(std::span<const section> sections) {
  std::vector<double> state(2 * sections.size());
  double input = 1;
  for (std::size_t j = 0; j < sections.size(); ++j) {
    const section& s = sections[j];
    const double gain = ((s.b0 + s.b1) + s.b2) / ((1 + s.a1) + s.a2);
    const double output = input * gain;
    double& z1 = state[2 * j];
    double& z2 = state[2 * j + 1];
    z2 = s.b2 * input - s.a2 * output;
    z1 = (s.b1 * input + z2) - s.a1 * output;
    input = output;
  }
  return state;
}

void filter(std::span<const section> sections, std::span<double> x, std::span<double> state) {
  detail::filter(sections, x, state, best_instruction_set());
}

void filter_forward_backward(std::span<const section> sections, std::span<double> x) {
  detail::filter_forward_backward(sections, x, best_instruction_set());
}

namespace detail {

void filter(std::span<const section> sections, std::span<double> x, std::span<double> state,
            instruction_set set, std::span<double> scratch) {
  passes(sections, x, state, false, set, scratch);
}

void filter_forward_backward(std::span<const section> sections, std::span<double> x,
                             instruction_set set, std::span<double> scratch) {
  std::vector<double> state(2 * sections.size(), 0.0);
  if (!x.empty()) scale_steady_state(sections, x[0], state);
  passes(sections, x, state, true, set, scratch);
}

void filter_plain(std::span<const section> sections, std::span<double> x, std::span<double> state) {
  plain(sections, x.data(), x.size(), false, state.data());
}

}  // namespace detail

}  // namespace processing
