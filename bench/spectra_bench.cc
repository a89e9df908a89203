// The oscillator kernel: period-samples per second on one core, in vector lanes and in the
// plain scalar loop, and the rotated peaks of a pair.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kernels/batch.h"
#include "kernels/rotd.h"
#include "spectra/grids.h"
#include "spectra/spectrum.h"
#include "synthetic_record.h"

namespace {

// A synthetic accelerogram in cm/s2: white noise through a Kanai-Tajimi filter (ground at
// 2.5 Hz, damping 0.6) under an envelope that rises as Saragoni-Hart's to its peak at 8 s and
// stays there: the motion lasts to the end, so that the kernel cannot stop early and every
// sample is measured; seed picks the noise.
std::vector<double> accelerogram(std::size_t n, double dt, unsigned seed) {
  return bench::filtered_noise(n, dt, seed,
                               [](double t) { return t < 8 ? bench::saragoni_hart(t) : 1; });
}

std::vector<kernels::oscillator_coefficients> oscillators(double dt, std::size_t count) {
  std::vector<kernels::oscillator_coefficients> o;
  for (std::size_t i = 0; i < count; ++i) {
    const double period = 0.1 + 0.05 * static_cast<double>(i);
    o.push_back(kernels::coefficients(0.05, spectra::circular_frequency(period), dt, false));
  }
  return o;
}

// Period-samples per second, and the share of the samples the kernel ran before the peaks
// settled (1: to the end).
void counters(benchmark::State& state, std::size_t samples,
              const std::vector<kernels::peak_response>& peaks) {
  state.counters["period_samples_per_s"] = benchmark::Counter(
      static_cast<double>(samples * peaks.size()), benchmark::Counter::kIsIterationInvariantRate);
  double run = 0;
  for (const kernels::peak_response& p : peaks) {
    run += p.settled_at > 0 ? static_cast<double>(p.settled_at) / static_cast<double>(samples) : 1;
  }
  state.counters["samples_run"] = run / static_cast<double>(peaks.size());
}

void kernel(benchmark::State& state, bool vector, bool displacement_only = false) {
  const double dt = 0.005;
  const auto a = accelerogram(16396, dt, 1);
  const auto o = oscillators(dt, static_cast<std::size_t>(state.range(0)));
  std::vector<kernels::peak_response> peaks(o.size());
  kernels::batch b{
      .ddy = a, .substeps = 1, .step = dt, .oscillators = o, .stride = kernels::padded(o.size())};
  b.displacement_only = displacement_only;
  for (auto _ : state) {
    if (vector) {
      kernels::run_batch(b, peaks);
    } else {
      kernels::run_batch_scalar(b, peaks);
    }
    benchmark::DoNotOptimize(peaks.data());
  }
  counters(state, a.size(), peaks);
  state.SetLabel(vector ? kernels::kernel_target() : "scalar");
}

void KernelVector(benchmark::State& state) {
  kernel(state, true);
}
void KernelScalar(benchmark::State& state) {
  kernel(state, false);
}
// Sd alone, as the spectrum intensity needs it.
void KernelDisplacementOnly(benchmark::State& state) {
  kernel(state, true, true);
}
// Sd by the recurrence of the displacement alone, as the spectrum intensity computes it.
void KernelDisplacementAlone(benchmark::State& state) {
  const double dt = 0.005;
  const auto a = accelerogram(16396, dt, 1);
  std::vector<kernels::displacement_recurrence> o;
  for (const auto& c : oscillators(dt, static_cast<std::size_t>(state.range(0)))) {
    o.push_back(kernels::eliminate_velocity(c.step));
  }
  std::vector<kernels::peak_response> peaks(o.size());
  for (auto _ : state) {
    kernels::run_displacements(a, dt, o, peaks);
    benchmark::DoNotOptimize(peaks.data());
  }
  counters(state, a.size(), peaks);
  state.SetLabel(kernels::kernel_target());
}
BENCHMARK(KernelVector)->Arg(8)->Arg(24)->Arg(111);
BENCHMARK(KernelDisplacementOnly)->Arg(24);
BENCHMARK(KernelDisplacementAlone)->Arg(24)->Arg(96);
BENCHMARK(KernelScalar)->Arg(24);

// The 111 periods of NGA-West2 at 5%: peaks at the samples with sub-steps (0), or over
// continuous time (1).
void SpectrumNgaWest2(benchmark::State& state) {
  const double dt = 0.005;
  const auto a = accelerogram(16396, dt, 1);
  const auto rule =
      state.range(0) == 0 ? spectra::peak_rule::sampled : spectra::peak_rule::continuous;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        spectra::response_spectrum(a, dt, spectra::nga_west2_periods(), 0.05, false, rule));
  }
}
BENCHMARK(SpectrumNgaWest2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A pair with its rotations, sampled (0) or continuous (1) peaks.
void PairWithRotD(benchmark::State& state) {
  const double dt = 0.005;
  const auto a1 = accelerogram(16396, dt, 1), a2 = accelerogram(16396, dt, 2);
  const auto rule =
      state.range(0) == 0 ? spectra::peak_rule::sampled : spectra::peak_rule::continuous;
  for (auto _ : state) {
    benchmark::DoNotOptimize(spectra::response_spectrum_of_pair(
        a1, a2, dt, spectra::nga_west2_periods(), 0.05, false, rule));
  }
}
BENCHMARK(PairWithRotD)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
