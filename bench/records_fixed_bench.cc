// Reading the fixed-width formats: nanoseconds per acceleration value of each reader on the
// bundled real files (held in memory, as the programs hold a file), and of the field reader
// alone on lines of (8F10.5).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "records/at2.h"
#include "records/cosmos.h"
#include "records/dmg.h"
#include "records/fortran_format.h"
#include "records/smc.h"
#include "records/table.h"

namespace {

std::string bundled(const char* name) {
  std::ifstream file(std::string(FORMATS_DIR) + "/" + name, std::ios::binary);
  if (!file) file.open(std::string(EXAMPLES_DIR) + "/" + name, std::ios::binary);
  if (!file) file.open(std::string(FORMATS_DIR) + "/../" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void report_values(benchmark::State& state, std::size_t values) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values));
  state.counters["ns_per_value"] = benchmark::Counter(
      static_cast<double>(values) / 1e9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

using reader = records::read_result (*)(std::string_view, const records::read_options&);

void read_file(benchmark::State& state, reader read, const char* name) {
  const std::string text = bundled(name);
  std::size_t values = 0;
  for (auto _ : state) {
    const records::read_result r = read(text, {});
    if (!r.ok()) {
      state.SkipWithError(r.status.what.c_str());
      return;
    }
    values = 0;
    for (const records::component& c : r.components) values += c.acceleration.size();
    benchmark::DoNotOptimize(r.components.data());
  }
  report_values(state, values);
}

BENCHMARK_CAPTURE(read_file, cosmos_v1_8F10_5, records::read_cosmos,
                  "cosmos/Cosmos12TimeSeriesTest.v1");
BENCHMARK_CAPTURE(read_file, cosmos_v2_1E15_6, records::read_cosmos,
                  "cosmos/us1000hyfh_akbmrp_AKBMR--n.1000hyfh.BNZ.--.acc.V2c");
// Three channels of acceleration read, their velocity and displacement passed over.
BENCHMARK_CAPTURE(read_file, dmg_v2_8f10_6, records::read_dmg, "dmg/CE89146.V2");
BENCHMARK_CAPTURE(read_file, smc_8E10_4, records::read_smc, "smc/np01002p_4225a_a.smc");

// The reference on the same machine at the same time: sdofresp's table (El Centro, 5346 lines
// of a time and three components), counted per component sample.
records::read_result read_table_in_one(std::string_view text, const records::read_options& o) {
  return records::read_table(text, o, std::string_view::npos);
}
BENCHMARK_CAPTURE(read_file, table_reference, read_table_in_one, "elcentro1940-array9.csv");
// PEER's AT2 (El Centro 180 written in its layout: five E15.7 values a line).
BENCHMARK_CAPTURE(read_file, at2_5E15_7, records::read_at2, "RSN6_IMPVALL.I_I-ELC180.AT2");

void read_fields_alone(benchmark::State& state) {
  const records::fortran_format format = *records::parse_fortran_format("(8F10.5)");
  const std::string line =
      "   -.00101    .00014    .00061  -1.00065   -.00013  -161.961   -.00076    .00106";
  double values[8];
  for (auto _ : state) {
    benchmark::DoNotOptimize(records::read_fields(line, format, 8, values));
    benchmark::DoNotOptimize(values);
  }
  report_values(state, 8);
}
BENCHMARK(read_fields_alone);

}  // namespace
