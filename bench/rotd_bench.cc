// Rotated spectra of horizontal pairs: 40 pairs of 16,596-sample records at 0.005 s shaped like
// PEER's AT2 files (motion that peaks at 8 s and dies away), the 111 NGA-West2 periods at 5%,
// one thread; CPU time per pair for both components' spectra alone and for the pair with its
// rotated spectra.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "spectra/grids.h"
#include "spectra/spectrum.h"

namespace {

constexpr double interval = 0.005;
constexpr std::size_t samples = 16596;
constexpr int pairs = 40;

// White noise through a Kanai-Tajimi filter (ground at 2.5 Hz, damping 0.6) under a
// Saragoni-Hart envelope that peaks at 8 s, in cm/s2 rounded to 1e-4 as a file holds them: the
// records of bench/synthetic_record.awk.
std::vector<double> accelerogram(unsigned seed) {
  std::vector<double> a(samples);
  std::uint64_t state = 0x9E3779B97F4A7C15u * (seed + 1);
  const auto uniform = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 9007199254740992.0;
  };
  const double w = 2 * 3.14159265 * 2.5;
  double x = 0, v = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) * interval;
    const double envelope = std::pow(t / 8, 2) * std::exp(2 * (1 - t / 8));
    const double acc = -2 * 0.6 * w * v - w * w * x - (uniform() - 0.5) * 1000;
    v += acc * interval;
    x += v * interval;
    a[i] = std::round(envelope * (-2 * 0.6 * w * v - w * w * x) * 1e4) / 1e4;
  }
  return a;
}

struct pair_records {
  std::vector<double> first, second;
};

const std::vector<pair_records>& records() {
  static const std::vector<pair_records> all = [] {
    std::vector<pair_records> r;
    for (int p = 0; p < pairs; ++p) {
      r.push_back({accelerogram(2 * static_cast<unsigned>(p) + 1),
                   accelerogram(2 * static_cast<unsigned>(p) + 2)});
    }
    return r;
  }();
  return all;
}

void per_pair(benchmark::State& state) {
  state.counters["ms_per_pair"] = benchmark::Counter(
      pairs * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Both components' spectra, the pair's rotation left out: the two oscillator runs.
void BothComponents(benchmark::State& state) {
  const auto& r = records();
  for (auto _ : state) {
    for (const pair_records& p : r) {
      benchmark::DoNotOptimize(
          spectra::response_spectrum(p.first, interval, spectra::nga_west2_periods(), 0.05, false));
      benchmark::DoNotOptimize(spectra::response_spectrum(
          p.second, interval, spectra::nga_west2_periods(), 0.05, false));
    }
  }
  per_pair(state);
}
BENCHMARK(BothComponents)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The pair with RotD00/50/100 of Sd, histories kept from call to call as a run keeps them.
void PairRotatedDisplacement(benchmark::State& state) {
  const auto& r = records();
  spectra::history_buffers memory;
  for (auto _ : state) {
    for (const pair_records& p : r) {
      benchmark::DoNotOptimize(spectra::response_spectrum_of_pair(
          p.first, p.second, interval, spectra::nga_west2_periods(), 0.05, false, &memory));
    }
  }
  per_pair(state);
}
BENCHMARK(PairRotatedDisplacement)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
