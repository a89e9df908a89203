// The list-directed reader on sample lines, against strtod on the same numbers.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "textio/list_input.h"

namespace {

std::string sample_lines(int count) {
  std::string text;
  char line[96];
  for (int i = 0; i < count; ++i) {
    const int n =
        std::snprintf(line, sizeof line, "%.2f,%.4f,%.4f,%.4f\n", i * 0.01,
                      (i % 977) * 0.3711 - 150, (i % 433) * -0.0917 + 20, (i % 97) * 1.0313 - 50);
    text.append(line, static_cast<std::size_t>(n));
  }
  return text;
}

const std::string lines = sample_lines(10000);

void read_samples(benchmark::State& state) {
  for (auto _ : state) {
    textio::input_stream in(lines);
    double t, a, b, c;
    while (textio::parse_list(in, {{t, a, b, c}}) == textio::read_status::ok) {
      benchmark::DoNotOptimize(t + a + b + c);
    }
  }
  state.SetItemsProcessed(state.iterations() * 4 * 10000);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}
BENCHMARK(read_samples);

void strtod_samples(benchmark::State& state) {
  for (auto _ : state) {
    const char* p = lines.c_str();
    char* end;
    while (*p) {
      benchmark::DoNotOptimize(std::strtod(p, &end));
      p = *end ? end + 1 : end;
    }
  }
  state.SetItemsProcessed(state.iterations() * 4 * 10000);
}
BENCHMARK(strtod_samples);

}  // namespace
