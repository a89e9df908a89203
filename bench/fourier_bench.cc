// Fourier spectra of a three-component record of 16,396 samples (El Centro's NS, EW and UP,
// each repeated to that length): the FAS of each, the EAS of the pair and the Konno-Ohmachi
// smoothing of the four at the default grid, on one core; and the smoothing alone in vector
// lanes, in one lane, and as the plain loop of its definition.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "records/registry.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/fourier/spectrum.h"

namespace {

constexpr std::size_t samples = 16396;

struct record {
  double dt = 0;
  std::vector<std::vector<double>> components;
};

// Sample j of a component is El Centro's sample j mod 5346 (the NumPy script builds the same).
const record& three_components() {
  static const record r = [] {
    std::ifstream file(EXAMPLES_DIR "/elcentro1940-array9.csv", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const records::read_result read = records::read_any(text, {});
    record out;
    if (!read.ok()) return out;
    out.dt = read.components[0].dt;
    for (const records::component& c : read.components) {
      std::vector<double> a(samples);
      for (std::size_t j = 0; j < samples; ++j) a[j] = c.acceleration[j % c.acceleration.size()];
      out.components.push_back(std::move(a));
    }
    return out;
  }();
  return r;
}

const std::vector<double>& grid() {
  static const std::vector<double> g = fourier::parse_grid(fourier::default_grid).values;
  return g;
}

struct spectra {
  double df = 0;
  std::vector<std::vector<double>> amplitudes;  // the three components, then the EAS
};

spectra transform(const record& r) {
  const std::size_t length = fourier::transform_length(samples);
  spectra s;
  std::vector<fourier::spectrum> fas;
  for (const std::vector<double>& a : r.components) {
    fas.push_back(fourier::amplitude_spectrum(a, r.dt, length).value);
  }
  s.df = fas[0].df;
  const fourier::spectrum eas = fourier::effective_amplitude(fas[0], fas[1]).value;
  for (fourier::spectrum& f : fas) s.amplitudes.push_back(std::move(f.amplitudes));
  s.amplitudes.push_back(eas.amplitudes);
  return s;
}

std::vector<std::span<const double>> views(const spectra& s) {
  return {s.amplitudes.begin(), s.amplitudes.end()};
}

std::size_t bins() {
  return fourier::transform_length(samples) / 2 + 1;
}

// The whole record with the smoothing's plan made once per run, as for a batch.
void RecordWithPlan(benchmark::State& state) {
  const record& r = three_components();
  const fourier::konno_ohmachi plan(40, grid(), bins());
  for (auto _ : state) {
    const spectra s = transform(r);
    benchmark::DoNotOptimize(plan.smooth(views(s), s.df));
  }
}
BENCHMARK(RecordWithPlan)->Unit(benchmark::kMicrosecond);

// The same with the plan made for the record.
void RecordAndPlan(benchmark::State& state) {
  const record& r = three_components();
  for (auto _ : state) {
    const spectra s = transform(r);
    const fourier::konno_ohmachi plan(40, grid(), bins());
    benchmark::DoNotOptimize(plan.smooth(views(s), s.df));
  }
}
BENCHMARK(RecordAndPlan)->Unit(benchmark::kMicrosecond);

void AmplitudeSpectrum(benchmark::State& state) {
  const record& r = three_components();
  for (auto _ : state) {
    benchmark::DoNotOptimize(fourier::amplitude_spectrum(r.components[0], r.dt));
  }
}
BENCHMARK(AmplitudeSpectrum)->Unit(benchmark::kMicrosecond);

void SmoothingPlan(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(fourier::konno_ohmachi(40, grid(), bins()));
}
BENCHMARK(SmoothingPlan)->Unit(benchmark::kMicrosecond);

// The smoothing alone of the first Arg spectra (1: a component; 4: the record's three and the
// EAS), in vector lanes and in one lane.
void Smoothing(benchmark::State& state) {
  const spectra s = transform(three_components());
  const auto all = views(s);
  const std::span<const std::span<const double>> some(all.data(),
                                                      static_cast<std::size_t>(state.range(0)));
  const fourier::konno_ohmachi plan(40, grid(), bins());
  for (auto _ : state) benchmark::DoNotOptimize(plan.smooth(some, s.df));
}
BENCHMARK(Smoothing)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void SmoothingOneLane(benchmark::State& state) {
  const spectra s = transform(three_components());
  const auto all = views(s);
  const std::span<const std::span<const double>> some(all.data(),
                                                      static_cast<std::size_t>(state.range(0)));
  const fourier::konno_ohmachi plan(40, grid(), bins());
  for (auto _ : state) benchmark::DoNotOptimize(plan.smooth_one_lane(some, s.df));
}
BENCHMARK(SmoothingOneLane)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

// The definition as it reads, over bins x outputs: a logarithm, a sine and a power per weight,
// each weight shared by the spectra.
void SmoothingPlainLoop(benchmark::State& state) {
  const spectra s = transform(three_components());
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  const double b = 40;
  for (auto _ : state) {
    std::vector<std::vector<double>> out(count, std::vector<double>(grid().size()));
    for (std::size_t j = 0; j < grid().size(); ++j) {
      std::vector<double> numerator(count, 0.0);
      double denominator = 0;
      for (std::size_t k = 1; k < s.amplitudes[0].size(); ++k) {
        const double u = b * std::log10(static_cast<double>(k) * s.df / grid()[j]);
        const double w = u == 0 ? 1 : std::pow(std::sin(u) / u, 4);
        denominator += w;
        for (std::size_t i = 0; i < count; ++i) numerator[i] += w * s.amplitudes[i][k];
      }
      for (std::size_t i = 0; i < count; ++i) out[i][j] = numerator[i] / denominator;
    }
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(SmoothingPlainLoop)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace
