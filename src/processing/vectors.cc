#include "processing/vectors.h"

namespace processing {

instruction_set best_instruction_set() {
#if defined(__x86_64__)
  static const instruction_set best = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
      return instruction_set::avx512;
    }
    return __builtin_cpu_supports("avx2") ? instruction_set::avx2 : instruction_set::baseline;
  }();
  return best;
#else
  return instruction_set::baseline;
#endif
}

}  // namespace processing
