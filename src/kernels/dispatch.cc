#include "kernels/dispatch.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace kernels {

vector_target best_vector_target() {
  static const vector_target best = [] {
    __builtin_cpu_init();
    // What Highway's targets require of the processor.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
      return vector_target::avx3;
    }
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
        __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2")) {
      return vector_target::avx2;
    }
    if (__builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("aes") &&
        __builtin_cpu_supports("pclmul")) {
      return vector_target::sse4;
    }
    if (__builtin_cpu_supports("ssse3")) return vector_target::ssse3;
    return vector_target::baseline;
  }();
  return best;
}

}  // namespace kernels

namespace hwy {
// Highway's headers report an impossible state through this function of its library, which
// the programs do not load.
void Abort(const char* file, int line, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::fprintf(stderr, "%s:%d: ", file, line);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  std::abort();
}
}  // namespace hwy
