// The readers of the seismological formats on records made in memory from their layouts:
// 1,000 K-NET files (files and values a second), ESM and SAC text (time per value), SAC binary
// and miniSEED (bytes a second, against the copy of the same bytes).
#include <benchmark/benchmark.h>
#include <libmseed.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "records/esm.h"
#include "records/knet.h"
#include "records/mseed.h"
#include "records/sac.h"
#include "support/record_writers.h"

namespace {

using namespace testing_support;

// A strong-motion-like signal in gal: decaying sines of a few periods over a small ambient
// motion that keeps the coda of a long record at realistic magnitudes.
std::vector<double> signal(std::size_t n, double dt) {
  std::vector<double> a(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    a[i] = 250 * std::exp(-t / 8) *
               (std::sin(2 * std::numbers::pi * t / 0.3) +
                0.5 * std::sin(2 * std::numbers::pi * t / 1.1)) +
           0.3 * std::sin(2 * std::numbers::pi * t / 0.7);
  }
  return a;
}

// 1,000 K-NET files of 60 s at 100 Hz (6,000 counts each), three directions.
const std::vector<std::string>& knet_files() {
  static const std::vector<std::string> files = [] {
    const std::vector<double> gal = signal(6000, 0.01);
    std::vector<std::string> out;
    const char* directions[] = {"N-S", "E-W", "U-D"};
    for (int f = 0; f < 1000; ++f) {
      std::vector<long long> counts;
      for (double g : gal) counts.push_back(12567 + std::llround(g * (f % 7 + 1) * 8223790 / 7845));
      out.push_back(knet_file({.direction = directions[f % 3], .max_acc = ""}, counts));
    }
    return out;
  }();
  return files;
}

void knet_thousand_files(benchmark::State& state) {
  const auto& files = knet_files();
  std::size_t values = 0;
  for (auto _ : state) {
    values = 0;
    for (const std::string& f : files) {
      const records::read_result r = records::read_knet(f, {});
      values += r.components[0].acceleration.size();
      benchmark::DoNotOptimize(r.components[0].acceleration.data());
    }
  }
  state.counters["files_per_s"] = benchmark::Counter(static_cast<double>(files.size()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
  state.counters["values_per_s"] = benchmark::Counter(
      static_cast<double>(values), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["s_per_value"] = benchmark::Counter(
      static_cast<double>(values),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(knet_thousand_files)->Unit(benchmark::kMillisecond);

constexpr std::size_t long_record = 200'000;  // 1,000 s at 200 Hz

void per_value(benchmark::State& state, const std::string& text,
               records::read_result (*read)(std::string_view, const records::read_options&),
               const records::read_options& options) {
  std::size_t values = 0;
  for (auto _ : state) {
    const records::read_result r = read(text, options);
    values = r.components.at(0).acceleration.size();
    benchmark::DoNotOptimize(r.components[0].acceleration.data());
  }
  state.counters["s_per_value"] = benchmark::Counter(
      static_cast<double>(values),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void esm_text(benchmark::State& state) {
  static const std::string text = [] {
    std::vector<std::string> values;
    char v[32];
    for (double g : signal(long_record, 0.005)) {
      std::snprintf(v, sizeof v, "%.6f", g);  // as ESM writes them
      values.push_back(v);
    }
    return esm_file(true,
                    {{"NDATA", std::to_string(long_record)},
                     {"SAMPLING_INTERVAL_S", "0.005"},
                     {"UNITS", "cm/s^2"},
                     {"DATA_TYPE", "ACCELERATION"},
                     {"STREAM", "HNE"}},
                    values);
  }();
  per_value(state, text, records::read_esm, {});
}
BENCHMARK(esm_text)->Unit(benchmark::kMillisecond);

const records::read_options in_gal{.units = base::acceleration_unit::gal};

void sac_alphanumeric_text(benchmark::State& state) {
  static const std::string text = sac_alphanumeric({.delta = 0.005f}, signal(long_record, 0.005));
  per_value(state, text, records::read_sac_alphanumeric, in_gal);
}
BENCHMARK(sac_alphanumeric_text)->Unit(benchmark::kMillisecond);

std::vector<float> floats(const std::vector<double>& v) {
  return {v.begin(), v.end()};
}

void sac_binary_file(benchmark::State& state) {
  static const std::string same = sac_binary({.delta = 0.005f}, floats(signal(long_record, 0.005)),
                                             std::endian::native == std::endian::big);
  static const std::string other = sac_binary({.delta = 0.005f}, floats(signal(long_record, 0.005)),
                                              std::endian::native == std::endian::little);
  per_value(state, state.range(0) ? other : same, records::read_sac, in_gal);
}
BENCHMARK(sac_binary_file)->Arg(0)->Arg(1)->ArgNames({"swapped"})->Unit(benchmark::kMicrosecond);

// miniSEED packed by libmseed from the same signal in counts: Steim-2 and float32, 4096-byte
// records, as data centres serve them.
std::string packed(int encoding) {
  const std::vector<double> gal = signal(long_record, 0.005);
  std::vector<std::int32_t> counts;
  std::vector<float> values;
  for (double g : gal) {
    counts.push_back(static_cast<std::int32_t>(std::llround(g * 4000)));
    values.push_back(static_cast<float>(g));
  }
  MSTrace* mst = mst_init(nullptr);
  std::strcpy(mst->network, "XX");
  std::strcpy(mst->station, "BENCH");
  std::strcpy(mst->channel, "HNE");
  mst->dataquality = 'D';
  mst->starttime = ms_time2hptime(2024, 1, 0, 0, 0, 0);
  mst->samprate = 200;
  mst->numsamples = mst->samplecnt = static_cast<std::int64_t>(gal.size());
  const bool steim = encoding == DE_STEIM2;
  mst->sampletype = steim ? 'i' : 'f';
  const std::size_t bytes = gal.size() * 4;
  mst->datasamples = std::malloc(bytes);
  std::memcpy(mst->datasamples, steim ? static_cast<const void*>(counts.data()) : values.data(),
              bytes);
  std::string out;
  std::int64_t samples = 0;
  mst_pack(
      mst,
      [](char* record, int length, void* into) {
        static_cast<std::string*>(into)->append(record, static_cast<std::size_t>(length));
      },
      &out, 4096, static_cast<flag>(encoding), 1, &samples, 1, 0, nullptr);
  mst_free(&mst);
  return out;
}

void mseed_file(benchmark::State& state) {
  static const std::string steim2 = packed(DE_STEIM2), float32 = packed(DE_FLOAT32);
  const records::read_options options{.units = base::acceleration_unit::gal,
                                      .counts_per_unit = 4000};
  per_value(state, state.range(0) ? float32 : steim2, records::read_mseed,
            state.range(0) ? in_gal : options);
}
BENCHMARK(mseed_file)->Arg(0)->Arg(1)->ArgNames({"float32"})->Unit(benchmark::kMicrosecond);

// libmseed alone decoding the same records into its own buffers: what bounds the reader.
void mseed_libmseed_alone(benchmark::State& state) {
  std::string bytes = state.range(0) ? packed(DE_FLOAT32) : packed(DE_STEIM2);
  MSRecord* msr = nullptr;
  std::int64_t values = 0;
  for (auto _ : state) {
    values = 0;
    for (std::size_t at = 0; at < bytes.size(); at += 4096) {
      msr_parse(bytes.data() + at, 4096, &msr, 4096, 1, 0);
      values += msr->numsamples;
    }
  }
  msr_free(&msr);
  state.counters["s_per_value"] = benchmark::Counter(
      static_cast<double>(values),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(mseed_libmseed_alone)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"float32"})
    ->Unit(benchmark::kMicrosecond);

// Memory speed for comparison: a copy of the same number of bytes.
void copy_bytes(benchmark::State& state) {
  const std::vector<char> from(static_cast<std::size_t>(state.range(0)), 'x');
  std::vector<char> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(copy_bytes)->Arg(4 * long_record)->Unit(benchmark::kMicrosecond);

}  // namespace
