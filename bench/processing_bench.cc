// Processing one component of 16396 samples 0.005 s apart (a typical PEER record): the whole
// chain of a raw record (mean, 2 s taper, pads, order-4 acausal high-pass at 0.1 Hz, baseline),
// with fresh memory and in a workspace kept from component to component, and its stages on the
// padded samples: the forward-backward filter (what SciPy's sosfiltfilt does), with fresh room
// for its blocks and with room kept, the same sample after sample, the baseline correction, the
// integration. The samples
// are read from the file PROCESSING_BENCH_SAMPLES names, when it does (one value a line, as
// bench/processing_vs_scipy.py writes them), else made here.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "processing/baseline.h"
#include "processing/butterworth.h"
#include "processing/integrate.h"
#include "processing/process.h"
#include "processing/sos_filter.h"
#include "synthetic_record.h"

namespace {

constexpr double dt = 0.005;

// White noise through a Kanai-Tajimi filter (ground at 2.5 Hz, damping 0.6) under an envelope
// peaking at 8 s, on an offset and a slow drift, as raw records come: cm/s2.
std::vector<double> raw_record(std::size_t n) {
  std::vector<double> a = bench::filtered_noise(n, dt, 0, bench::saragoni_hart);
  for (std::size_t i = 0; i < n; ++i) a[i] += 3.5 + 0.01 * (static_cast<double>(i) * dt);
  return a;
}

const std::vector<double>& samples() {
  static const std::vector<double> a = [] {
    if (const char* file = std::getenv("PROCESSING_BENCH_SAMPLES")) {
      std::vector<double> read;
      std::ifstream in(file);
      for (double v; in >> v;) read.push_back(v);
      return read;
    }
    return raw_record(16396);
  }();
  return a;
}

const processing::steps chain{
    .taper = 2, .highpass = 0.1, .order = 4, .causal = false, .baseline = true};

// The record as the filter gets it: mean removed, tapered, padded.
std::vector<double> padded() {
  processing::steps before = chain;
  before.highpass.reset();
  before.baseline = false;
  const std::vector<double> ready = processing::process(samples(), dt, before).acceleration;
  const std::size_t pad = processing::samples_in(0.75 * chain.order / *chain.highpass, dt);
  std::vector<double> x(pad, 0.0);
  x.insert(x.end(), ready.begin(), ready.end());
  x.resize(x.size() + pad, 0.0);
  return x;
}

void counters(benchmark::State& state, std::size_t n) {
  state.counters["samples"] = static_cast<double>(n);
  state.counters["samples_per_s"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ProcessComponent(benchmark::State& state) {
  for (auto _ : state) {
    processing::processed p = processing::process(samples(), dt, chain);
    benchmark::DoNotOptimize(p.acceleration.data());
  }
  counters(state, samples().size());
}
BENCHMARK(BM_ProcessComponent);

// As a run processes component after component on a thread: the workspace kept.
void BM_ProcessComponentInWorkspace(benchmark::State& state) {
  processing::workspace w;
  for (auto _ : state) {
    processing::processed p = processing::process(samples(), dt, chain, w);
    benchmark::DoNotOptimize(p.acceleration.data());
  }
  counters(state, samples().size());
}
BENCHMARK(BM_ProcessComponentInWorkspace);

void BM_FilterForwardBackward(benchmark::State& state) {
  const std::vector<processing::section> s = processing::butterworth_highpass(4, 0.1, dt);
  const std::vector<double> x = padded();
  std::vector<double> y;
  for (auto _ : state) {
    y = x;
    processing::filter_forward_backward(s, y);
    benchmark::DoNotOptimize(y.data());
  }
  counters(state, x.size());
}
BENCHMARK(BM_FilterForwardBackward);

// The same with the room for the blocks kept from call to call.
void BM_FilterForwardBackwardInRoom(benchmark::State& state) {
  const std::vector<processing::section> s = processing::butterworth_highpass(4, 0.1, dt);
  const std::vector<double> x = padded();
  std::vector<double> y, room(x.size());
  for (auto _ : state) {
    y = x;
    processing::detail::filter_forward_backward(s, y, processing::lanes_in::vectors, room);
    benchmark::DoNotOptimize(y.data());
  }
  counters(state, x.size());
}
BENCHMARK(BM_FilterForwardBackwardInRoom);

// The same filter without the blocks: both passes sample after sample.
void BM_FilterForwardBackwardPlain(benchmark::State& state) {
  const std::vector<processing::section> s = processing::butterworth_highpass(4, 0.1, dt);
  const std::vector<double> x = padded();
  std::vector<double> y;
  for (auto _ : state) {
    y = x;
    std::vector<double> z(4, 0.0);
    processing::detail::filter_plain(s, y, z);
    std::vector<double> back(y.rbegin(), y.rend());
    z = processing::steady_state(s);
    for (double& v : z) v *= back[0];
    processing::detail::filter_plain(s, back, z);
    benchmark::DoNotOptimize(back.data());
  }
  counters(state, x.size());
}
BENCHMARK(BM_FilterForwardBackwardPlain);

void BM_RemoveBaseline(benchmark::State& state) {
  const std::vector<double> x = padded();
  std::vector<double> y;
  for (auto _ : state) {
    y = x;
    benchmark::DoNotOptimize(processing::remove_baseline(y, dt));
  }
  counters(state, x.size());
}
BENCHMARK(BM_RemoveBaseline);

void BM_Integrate(benchmark::State& state) {
  const std::vector<double> x = padded();
  std::vector<double> v(x.size()), d(x.size());
  for (auto _ : state) {
    processing::integrate(x, dt, v, d);
    benchmark::DoNotOptimize(d.data());
  }
  counters(state, x.size());
}
BENCHMARK(BM_Integrate);

}  // namespace
