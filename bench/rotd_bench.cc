// Rotated spectra of horizontal pairs: 40 pairs of 16,596-sample records at 0.005 s shaped like
// PEER's AT2 files (motion that peaks at 8 s and dies away), the 111 NGA-West2 periods at 5%,
// one thread; CPU time per pair for both components' spectra alone and for the pair with its
// rotated spectra.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "kernels/angle_peaks.h"
#include "kernels/batch.h"
#include "kernels/rotd.h"
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

// The pair kernel: both components' spectra and every rotated ordinate at every angle.
void PairRotatedDisplacement(benchmark::State& state) {
  const auto& r = records();
  for (auto _ : state) {
    for (const pair_records& p : r) {
      benchmark::DoNotOptimize(spectra::response_spectrum_of_pair(
          p.first, p.second, interval, spectra::nga_west2_periods(), 0.05, false));
    }
  }
  per_pair(state);
}
BENCHMARK(PairRotatedDisplacement)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Sorting the 180 peaks of each rotated ordinate, as the pair kernel leaves them (the peaks of
// the first pair, put back in the order of their angles): the part of the pair's time that
// RotD at any percentile adds to the kernel.
void SortPeaks(benchmark::State& state) {
  const pair_records& p = records().front();
  const spectra::pair_spectrum s = spectra::response_spectrum_of_pair(
      p.first, p.second, interval, spectra::nga_west2_periods(), 0.05, false);
  std::vector<std::array<double, kernels::angles>> by_angle;
  for (const spectra::rotated_ordinates& r : s.rotd) {
    for (const kernels::angle_peaks* q : {&r.sd, &r.sv, &r.sa}) {
      auto& peaks = by_angle.emplace_back();
      peaks.fill(-1);
      for (int i = 0; i < kernels::angles; ++i) peaks[q->angle[i]] = q->sorted[i];
      for (int a = 1; a < kernels::angles; ++a) {
        if (peaks[a] < 0) peaks[a] = peaks[a - 1];  // an angle that tied with an earlier one
      }
    }
  }
  for (auto _ : state) {
    for (int pair = 0; pair < pairs; ++pair) {
      for (const auto& peaks : by_angle) {
        benchmark::DoNotOptimize(kernels::angle_peaks::of(peaks.data()));
      }
    }
  }
  per_pair(state);
}
BENCHMARK(SortPeaks)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// The rotation as it was before the pair kernel: each component's displacement history at every
// (sub-)sample kept (up to 64 MiB), then RotD00/50/100 of Sd alone from the two histories.
void PairThroughHistoriesBefore(benchmark::State& state) {
  const auto& r = records();
  const std::span<const double> periods = spectra::nga_west2_periods();
  std::vector<double> u1, u2;
  for (auto _ : state) {
    for (const pair_records& p : r) {
      std::map<int, std::vector<std::size_t>> groups;
      for (std::size_t i = 0; i < periods.size(); ++i) {
        groups[spectra::substeps(periods[i], interval)].push_back(i);
      }
      std::vector<kernels::rotated_peaks> out(periods.size());
      for (const auto& [k, members] : groups) {
        const std::size_t points = (samples - 1) * static_cast<std::size_t>(k) + 1;
        const std::size_t affordable = (std::size_t{64} << 20) / (2 * sizeof(double) * points);
        const std::size_t chunk =
            std::clamp(affordable / kernels::lane_padding * kernels::lane_padding,
                       kernels::lane_padding, 3 * kernels::lane_padding);
        for (std::size_t from = 0; from < members.size(); from += chunk) {
          const std::size_t to = std::min(members.size(), from + chunk);
          std::vector<kernels::oscillator_coefficients> o;
          for (std::size_t j = from; j < to; ++j) {
            o.push_back(kernels::coefficients(
                0.05, spectra::circular_frequency(periods[members[j]]), interval / k, false));
          }
          const std::size_t stride = kernels::padded(o.size());
          if (u1.size() < points * stride) {
            u1.resize(points * stride);
            u2.resize(points * stride);
          }
          std::vector<kernels::peak_response> peaks(o.size());
          for (int side = 0; side < 2; ++side) {
            kernels::run_batch({.ddy = side == 0 ? p.first : p.second,
                                .substeps = k,
                                .step = interval / k,
                                .oscillators = o,
                                .displacement = (side == 0 ? u1 : u2).data(),
                                .stride = stride},
                               peaks);
          }
          kernels::rotated_peaks_of_lanes(u1.data(), u2.data(), points, stride, o.size(),
                                          out.data() + from);
        }
      }
      benchmark::DoNotOptimize(out);
    }
  }
  per_pair(state);
}
BENCHMARK(PairThroughHistoriesBefore)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
