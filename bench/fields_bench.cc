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

void fixed_9_4(benchmark::State& state) {
  char out[32];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(textio::format_fixed<9, 4>(out, values[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fixed_9_4);

void fixed_12_4(benchmark::State& state) {
  char out[32];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(textio::format_fixed<12, 4>(out, values[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(fixed_12_4);

void exponential_15_7(benchmark::State& state) {
  char out[32];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(textio::format_exponential<15, 7>(out, values[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(exponential_15_7);

void list_double(benchmark::State& state) {
  char out[32];
  std::size_t i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(textio::format_list_double(out, values[i++ & 4095]));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(list_double);

// For comparison: the digits alone from snprintf and from std::to_chars.
void snprintf_fixed_4(benchmark::State& state) {
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%9.4f", values[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(snprintf_fixed_4);

void snprintf_exponential_6(benchmark::State& state) {
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::snprintf(out, sizeof out, "%15.6E", values[i++ & 4095]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(snprintf_exponential_6);

void to_chars_fixed_4(benchmark::State& state) {
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::to_chars(out, out + sizeof out, values[i++ & 4095], std::chars_format::fixed, 4));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(to_chars_fixed_4);

void to_chars_exponential_6(benchmark::State& state) {
  char out[64];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::to_chars(out, out + sizeof out, values[i++ & 4095], std::chars_format::scientific, 6));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(to_chars_exponential_6);

}  // namespace
