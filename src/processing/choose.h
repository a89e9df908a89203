// The run-time choice of the processing kernels: the oscillator kernels' (kernels/dispatch.h),
// with the widest instruction set allowed given, so that the tests can run each one that this
// processor has.
#pragma once

#include "kernels/dispatch.h"

// In the HWY_ONCE part of a *_simd.cc file: the function of the widest compiled target up to
// `target`; with kernels::best_vector_target(), what KERNELS_CHOOSE(f) gives.
#define PROCESSING_CHOOSE_UP_TO(target, f)                                              \
  ::kernels::chosen(target, KERNELS_ON_AVX3(f), KERNELS_ON_AVX2(f), KERNELS_ON_SSE4(f), \
                    KERNELS_ON_SSSE3(f), HWY_STATIC_DISPATCH(f))
