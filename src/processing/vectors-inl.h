// The vectors of the processing kernels (sos_filter_simd.cc, baseline_simd.cc): included again
// for every instruction set (Highway's -inl.h idiom).
#if defined(SDOF_PROCESSING_VECTORS_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef SDOF_PROCESSING_VECTORS_INL_H_
#undef SDOF_PROCESSING_VECTORS_INL_H_
#else
#define SDOF_PROCESSING_VECTORS_INL_H_
#endif

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace processing {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Vectors of at most four doubles: the lanes' layouts (16 blocks, four partial sums) are the
// same on every instruction set, and a multiple of four. On AVX-512 these are AVX2's vectors
// with AVX-512's 32 registers: its wider vectors gain nothing on processors that split them in
// two, and would not divide the four partial sums.
using tag = hn::CappedTag<double, 4>;
using vec = hn::Vec<tag>;
inline constexpr std::size_t width = hn::MaxLanes(tag());

}  // namespace HWY_NAMESPACE
}  // namespace processing
HWY_AFTER_NAMESPACE();

#endif  // SDOF_PROCESSING_VECTORS_INL_H_
