// Inelastic spectra of one 16,396-sample component at 0.005 s, at the 111 NGA-West2 periods and
// 5% damping, elastoplastic: four ductilities, four strength ratios, one oscillator run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "spectra/grids.h"
#include "spectra/inelastic/bilinear.h"
#include "spectra/inelastic/spectrum.h"
#include "synthetic_record.h"

namespace {

using namespace spectra::inelastic;

constexpr double dt = 0.005;
constexpr std::size_t samples = 16396;

// A synthetic accelerogram in cm/s2, 0.35 g at its peak: white noise through a Kanai-Tajimi
// filter (ground at 2.5 Hz, damping 0.6) under an envelope that rises as Saragoni-Hart's to its
// peak at 8 s, and then either stays there to the end (stationary: the most yielding, the worst
// case) or holds to 20 s and decays with a time constant of 8 s, as records do.
std::vector<double> accelerogram(bool stationary) {
  std::vector<double> a = bench::filtered_noise(samples, dt, 0, [&](double t) {
    if (!stationary && t > 20) return std::exp(-(t - 20) / 8);
    return t < 8 ? bench::saragoni_hart(t) : 1;
  });
  double largest = 0;
  for (double value : a) largest = std::max(largest, std::fabs(value));
  for (double& value : a) value *= 0.35 * 980.665 / largest;
  return a;
}

const std::vector<double>& record(bool stationary) {
  static const std::vector<double> decaying = accelerogram(false), held = accelerogram(true);
  return stationary ? held : decaying;
}

// range(0): stationary envelope; range(1): threads; range(2): observed continuously.
void ConstantDuctility(benchmark::State& state) {
  const std::vector<double>& a = record(state.range(0) != 0);
  const std::vector<double> ductilities = {1.5, 2, 4, 6};
  const inelastic_settings s{
      .damping = 0.05,
      .alpha = 0,
      .mode = state.range(2) != 0 ? observation::continuous : observation::at_steps,
      .threads = static_cast<unsigned>(state.range(1))};
  std::vector<ordinate> rows;
  for (auto _ : state) {
    rows = constant_ductility_spectrum(a, dt, spectra::nga_west2_periods(), ductilities, s);
    benchmark::DoNotOptimize(rows.data());
  }
  double runs = 0, most = 0, reached = 0;
  for (const ordinate& o : rows) {
    runs += o.runs;
    most = std::max(most, static_cast<double>(o.runs));
    reached += o.reached;
  }
  state.counters["runs_per_row"] = runs / static_cast<double>(rows.size());
  state.counters["most_runs"] = most;
  state.counters["rows_reached"] = reached / static_cast<double>(rows.size());
}
BENCHMARK(ConstantDuctility)
    ->ArgsProduct({{0, 1}, {1, 2}, {0, 1}})
    ->ArgNames({"stationary", "threads", "continuous"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void ConstantStrength(benchmark::State& state) {
  const std::vector<double>& a = record(state.range(0) != 0);
  const std::vector<double> ratios = {1.5, 2, 4, 8};
  const inelastic_settings s{
      .mode = state.range(2) != 0 ? observation::continuous : observation::at_steps,
      .threads = static_cast<unsigned>(state.range(1))};
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        constant_strength_spectrum(a, dt, spectra::nga_west2_periods(), ratios, s).data());
  }
}
BENCHMARK(ConstantStrength)
    ->ArgsProduct({{0, 1}, {1, 2}, {0, 1}})
    ->ArgNames({"stationary", "threads", "continuous"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One run of the oscillator through the record: nanoseconds per step, at a period (ms) and a
// strength (percent of f_0; 100: elastic).
void OneRun(benchmark::State& state) {
  const std::vector<double>& a = record(true);
  const stepping s = make_stepping(
      {.period = static_cast<double>(state.range(0)) / 1000, .damping = 0.05, .alpha = 0}, dt);
  const double u0 = run(s, a, INFINITY, observation::at_steps).peak_deformation;
  const double uy = static_cast<double>(state.range(1)) / 100 * u0;
  run_result r;
  for (auto _ : state) {
    r = run(s, a, uy, observation::at_steps);
    benchmark::DoNotOptimize(r);
  }
  state.counters["ns_per_step"] = benchmark::Counter(
      static_cast<double>((samples - 1) * static_cast<std::size_t>(s.substeps)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["onsets"] = static_cast<double>(r.yield_onsets);
}
BENCHMARK(OneRun)
    ->ArgsProduct({{50, 300, 1000}, {100, 50, 20}})
    ->ArgNames({"period_ms", "strength_pct"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
