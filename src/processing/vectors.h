// Vectors of doubles for the kernels that run several lanes side by side, and the instruction
// sets they are compiled for. A lane computes what the plain loop computes, operation for
// operation (the build never fuses a multiplication and an addition), so the results are the
// same bit for bit on every instruction set; only the speed differs.
#pragma once

#include <cstring>

namespace processing {

// AVX-512 here is AVX2's vectors of four with AVX-512's 32 registers (its wider vectors gain
// nothing on processors that split them in two).
enum class instruction_set { baseline, avx2, avx512 };

// The widest set the processor has (worked out once).
instruction_set best_instruction_set();

namespace vectors {

// SSE2, part of every x86-64 processor and the build's baseline.
using pair = double __attribute__((vector_size(16)));
#if defined(__x86_64__)
// AVX2, in the functions compiled for it ([[gnu::target("avx2")]] and the like) only.
using quad = double __attribute__((vector_size(32)));
#endif

template <class V>
inline constexpr std::size_t width = sizeof(V) / sizeof(double);

template <class V>
[[gnu::always_inline]] inline V load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
[[gnu::always_inline]] inline void store(double* p, V v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace vectors
}  // namespace processing
