// The library's own time for what sdof.response_spectrum asks of it: the spectrum at the 111
// NGA-West2 periods, 5% damping, of the first component of the record named by
// SDOF_BENCH_RECORD (bench/python_bench.py makes one and compares the binding's time with it).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "records/registry.h"
#include "spectra/grids.h"
#include "spectra/spectrum.h"

namespace {

void LibrarySpectrumOfRecord(benchmark::State& state) {
  const char* path = std::getenv("SDOF_BENCH_RECORD");
  if (!path) {
    state.SkipWithError("SDOF_BENCH_RECORD names no record");
    return;
  }
  std::ifstream file(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  const records::read_result r = records::read_any(text, {});
  if (!r.ok() || r.components.empty()) {
    state.SkipWithError("the record cannot be read");
    return;
  }
  const records::component& c = r.components.front();
  for (auto _ : state) {
    benchmark::DoNotOptimize(spectra::response_spectrum(c.acceleration, c.dt,
                                                        spectra::nga_west2_periods(), 0.05, false));
  }
  state.counters["samples"] = static_cast<double>(c.acceleration.size());
}
BENCHMARK(LibrarySpectrumOfRecord)->Unit(benchmark::kMillisecond);

}  // namespace
