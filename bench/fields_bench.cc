// The field formatters against the C library and std::to_chars doing the same job.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "textio/fields.h"

namespace {

// Values of the sizes the program prints: energies and times (F), responses (E).
std::vector<double> typical_values() {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-6, 4);
  std::vector<double> values(4096);
  for (double& v : values) v = mantissa(random) * std::pow(10.0, exponent(random));
  return values;
}

const std::vector<double> values = typical_values();

using formatter = char* (*)(char*, double);

template <formatter format>
void field(benchmark::State& state) {
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(format(out, values[i++ & 4095]));
  state.SetItemsProcessed(state.iterations());
}

// For comparison: the digits alone, from snprintf and from std::to_chars.
char* snprintf_fixed(char* out, double v) {
  return out + std::snprintf(out, 64, "%9.4f", v);
}
char* snprintf_exponential(char* out, double v) {
  return out + std::snprintf(out, 64, "%15.6E", v);
}
char* to_chars_fixed(char* out, double v) {
  return std::to_chars(out, out + 64, v, std::chars_format::fixed, 4).ptr;
}
char* to_chars_exponential(char* out, double v) {
  return std::to_chars(out, out + 64, v, std::chars_format::scientific, 6).ptr;
}

BENCHMARK_TEMPLATE(field, textio::format_fixed<9, 4>)->Name("F9.4");
BENCHMARK_TEMPLATE(field, textio::format_fixed<12, 4>)->Name("F12.4");
BENCHMARK_TEMPLATE(field, textio::format_exponential<15, 7>)->Name("E15.7");
BENCHMARK_TEMPLATE(field, textio::format_list_double)->Name("list double");
BENCHMARK_TEMPLATE(field, snprintf_fixed)->Name("snprintf %9.4f");
BENCHMARK_TEMPLATE(field, snprintf_exponential)->Name("snprintf %15.6E");
BENCHMARK_TEMPLATE(field, to_chars_fixed)->Name("to_chars fixed 4");
BENCHMARK_TEMPLATE(field, to_chars_exponential)->Name("to_chars scientific 6");

}  // namespace
