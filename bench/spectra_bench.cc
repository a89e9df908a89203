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

namespace {

// A synthetic accelerogram in cm/s2: white noise through a Kanai-Tajimi filter (ground at
// 2.5 Hz, damping 0.6) under an envelope that rises as Saragoni-Hart's to its peak at 8 s and
// stays there: the motion lasts to the end, so that the kernel cannot stop early and every
// sample is measured; seed picks the noise.
std::vector<double> accelerogram(std::size_t n, double dt, unsigned seed) {
  std::vector<double> a(n);
  std::uint64_t state = 0x9E3779B97F4A7C15u * (seed + 1);
  const auto noise = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
  };
  const double wg = 2 * 3.141592653589793 * 2.5, zg = 0.6;
  double x = 0, v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    const double w = noise() * 4000;
    const double acc = -2 * zg * wg * v - wg * wg * x - w;
    v += acc * dt;
    x += v * dt;
    const double envelope = t < 8 ? std::pow(t / 8, 2) * std::exp(2 * (1 - t / 8)) : 1;
    a[i] = envelope * (-2 * zg * wg * v - wg * wg * x);
  }
  return a;
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

void SpectrumNgaWest2(benchmark::State& state) {
  const double dt = 0.005;
  const auto a = accelerogram(16396, dt, 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        spectra::response_spectrum(a, dt, spectra::nga_west2_periods(), 0.05, false));
  }
}
BENCHMARK(SpectrumNgaWest2)->Unit(benchmark::kMillisecond);

void PairWithRotD(benchmark::State& state) {
  const double dt = 0.005;
  const auto a1 = accelerogram(16396, dt, 1), a2 = accelerogram(16396, dt, 2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        spectra::response_spectrum_of_pair(a1, a2, dt, spectra::nga_west2_periods(), 0.05, false));
  }
}
BENCHMARK(PairWithRotD)->Unit(benchmark::kMillisecond);

}  // namespace
