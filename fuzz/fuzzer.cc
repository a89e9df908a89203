// libFuzzer entry of every target: FUZZ_CHECK names the check of targets.h that the target
// runs on each input (the build defines it per target).
#include <cstdio>
#include <cstdlib>

#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problem = FUZZ_CHECK(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
