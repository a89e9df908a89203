// Run-time choice among the instruction sets the vector kernels are compiled for (by Highway,
// in the files *_simd.cc): the widest this processor has. The choice is made here rather than
// by Highway's library, whose loading alone costs a process about 7 ms.
#pragma once

#include <hwy/highway.h>

namespace kernels {

enum class vector_target { baseline, ssse3, sse4, avx2, avx3 };

// The widest compiled instruction set the processor runs (computed once).
vector_target best_vector_target();

}  // namespace kernels

// The function of the chosen target, for the HWY_ONCE part of a *_simd.cc file.
#if HWY_TARGETS & HWY_AVX3
#define KERNELS_ON_AVX3(f) &N_AVX3::f
#else
#define KERNELS_ON_AVX3(f) nullptr
#endif
#if HWY_TARGETS & HWY_AVX2
#define KERNELS_ON_AVX2(f) &N_AVX2::f
#else
#define KERNELS_ON_AVX2(f) nullptr
#endif
#if HWY_TARGETS & HWY_SSE4
#define KERNELS_ON_SSE4(f) &N_SSE4::f
#else
#define KERNELS_ON_SSE4(f) nullptr
#endif
#if HWY_TARGETS & HWY_SSSE3
#define KERNELS_ON_SSSE3(f) &N_SSSE3::f
#else
#define KERNELS_ON_SSSE3(f) nullptr
#endif
#define KERNELS_CHOOSE(f)                                                                    \
  ::kernels::chosen(::kernels::best_vector_target(), KERNELS_ON_AVX3(f), KERNELS_ON_AVX2(f), \
                    KERNELS_ON_SSE4(f), KERNELS_ON_SSSE3(f), HWY_STATIC_DISPATCH(f))

namespace kernels {

// The widest of the compiled functions that the processor runs.
template <class F>
F chosen(vector_target target, F avx3, F avx2, F sse4, F ssse3, F baseline) {
  switch (target) {
    case vector_target::avx3:
      if (avx3) return avx3;
      [[fallthrough]];
    case vector_target::avx2:
      if (avx2) return avx2;
      [[fallthrough]];
    case vector_target::sse4:
      if (sse4) return sse4;
      [[fallthrough]];
    case vector_target::ssse3:
      if (ssse3) return ssse3;
      [[fallthrough]];
    case vector_target::baseline:
      break;
  }
  return baseline;
}

}  // namespace kernels
