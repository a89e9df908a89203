#include "processing/sos_filter.h"

#include <cassert>
#include <memory>
#include <type_traits>

#include "processing/sos_blocks.h"

// A pass of a recursive filter is a chain: each sample waits for the one before, and the
// processor idles between them. A long record is therefore cut into `block_lanes` blocks that one
// section filters side by side in vector registers, section after section: first each block from
// rest (the first from the true memory) for the memory it ends in; then the true memory at each
// block's start, which is where the block before ends: its own starting memory carried over its
// samples by the section's transition matrix, plus what it ends in from rest; then each block
// again from its true start. Within a block every sample is computed as the plain pass computes
// it, in the vector kernels (sos_filter_simd.cc) as in their scalar twin here, so the results
// are the same bit for bit on every instruction set.
//
// At low corners the poles crowd z = 1, and the transition over a block has entries in the
// hundreds that cancel: worked out and carried in doubles, the blocks would differ from the plain
// pass by 1.2e-11 of a record's peak at a corner of 1.5e-4 of the sampling rate (order 4, one
// pass). The transition and the carrying are therefore worked out in double-double arithmetic,
// from the section's exact coefficients: 2e-12, the plain pass's own rounding.

namespace processing {
namespace {

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

// The scalar twin of the vector kernels: each lane by `step`, lane after lane.
template <class Row>
void run_lanes(const section& s, Row* rows, std::size_t steps, bool backward, double* z1,
               double* z2) {
  for (std::size_t l = 0; l < block_lanes; ++l) {
    for (std::size_t m = 0; m < steps; ++m) {
      Row& sample = rows[(backward ? steps - 1 - m : m) * block_lanes + l];
      const double y = step(s, sample, z1[l], z2[l]);
      if constexpr (!std::is_const_v<Row>) sample = y;
    }
  }
}

void to_lanes(const double* x, std::size_t steps, double* rows) {
  for (std::size_t l = 0; l < block_lanes; ++l) {
    for (std::size_t m = 0; m < steps; ++m) rows[m * block_lanes + l] = x[l * steps + m];
  }
}

void from_lanes(double* x, std::size_t steps, const double* rows) {
  for (std::size_t l = 0; l < block_lanes; ++l) {
    for (std::size_t m = 0; m < steps; ++m) x[l * steps + m] = rows[m * block_lanes + l];
  }
}

block_kernels kernels_for(lanes_in lanes) {
  return lanes == lanes_in::vectors ? vector_block_kernels() : scalar_block_kernels();
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
// [m * block_lanes + l]), forwards (block 0 first) or backwards, from the memory z (two values),
// left as the pass ends.
void blocked_section(const section& s, const block_kernels& run, double* rows, std::size_t steps,
                     bool backward, double* z) {
  // The blocks in the order the pass meets them.
  const auto block = [&](std::size_t k) { return backward ? block_lanes - 1 - k : k; };
  double z1[block_lanes] = {}, z2[block_lanes] = {};
  z1[block(0)] = z[0];
  z2[block(0)] = z[1];
  run.to_end(s, rows, steps, backward, z1, z2);
  // The first block started from its true memory: what it ends in is true already.
  const carry a = transition(s, steps);
  wide m1{z[0]}, m2{z[1]};
  double start1[block_lanes], start2[block_lanes];
  for (std::size_t k = 0; k < block_lanes; ++k) {
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
  z[0] = start1[block(block_lanes - 1)];
  z[1] = start2[block(block_lanes - 1)];
}

void scale_steady_state(std::span<const section> sections, double value, std::span<double> state) {
  const std::vector<double> unit = steady_state(sections);
  for (std::size_t c = 0; c < state.size(); ++c) state[c] = unit[c] * value;
}

// Forwards from state, and backwards too when asked (from the steady state of the last value).
// The samples past the last whole row of blocks go sample after sample: after the blocks
// forwards, before them backwards.
void passes(std::span<const section> sections, std::span<double> x, std::span<double> state,
            bool and_back, lanes_in lanes, std::span<double> scratch) {
  assert(state.size() == 2 * sections.size());
  const std::size_t n = x.size();
  const std::size_t steps = n / block_lanes;
  if (steps < shortest_block) {
    plain(sections, x.data(), n, false, state.data());
    if (and_back && n > 0) {
      scale_steady_state(sections, x[n - 1], state);
      plain(sections, x.data(), n, true, state.data());
    }
    return;
  }
  const block_kernels run = kernels_for(lanes);
  const std::size_t body = steps * block_lanes, tail = n - body;
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

block_kernels scalar_block_kernels() {
  return {.in_place = run_lanes<double>,
          .to_end = run_lanes<const double>,
          .to_lanes = to_lanes,
          .from_lanes = from_lanes};
}

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
  detail::filter(sections, x, state, lanes_in::vectors);
}

void filter_forward_backward(std::span<const section> sections, std::span<double> x) {
  detail::filter_forward_backward(sections, x, lanes_in::vectors);
}

namespace detail {

void filter(std::span<const section> sections, std::span<double> x, std::span<double> state,
            lanes_in lanes, std::span<double> scratch) {
  passes(sections, x, state, false, lanes, scratch);
}

void filter_forward_backward(std::span<const section> sections, std::span<double> x, lanes_in lanes,
                             std::span<double> scratch) {
  std::vector<double> state(2 * sections.size(), 0.0);
  if (!x.empty()) scale_steady_state(sections, x[0], state);
  passes(sections, x, state, true, lanes, scratch);
}

void filter_plain(std::span<const section> sections, std::span<double> x, std::span<double> state) {
  plain(sections, x.data(), x.size(), false, state.data());
}

}  // namespace detail

}  // namespace processing
