// The processing on samples read from standard input, for the reference tests that compare it
// with SciPy: process_tool --dt DT [--highpass FC] [--lowpass FC] [--order N] [--causal]
// [--pre-event S] [--taper S] [--baseline] [--filter-only]. Writes the number of leading pad
// samples on the first line, then one sample a line, to 17 digits. --filter-only runs the
// Butterworth sections alone on the samples as they are (no mean, taper or pads).
#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/numbers.h"
#include "processing/butterworth.h"
#include "processing/process.h"
#include "processing/sos_filter.h"

int main(int argc, char** argv) {
  processing::steps steps;
  std::optional<double> dt;
  bool filter_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    const auto value = [&]() -> double {
      const std::optional<double> v = i + 1 < argc ? base::parse_decimal(argv[++i]) : std::nullopt;
      if (!v) {
        std::fprintf(stderr, "process_tool: %s needs a number\n", argv[i]);
        std::exit(2);
      }
      return *v;
    };
    if (option == "--dt") {
      dt = value();
    } else if (option == "--highpass") {
      steps.highpass = value();
    } else if (option == "--lowpass") {
      steps.lowpass = value();
    } else if (option == "--order") {
      steps.order = static_cast<int>(value());
    } else if (option == "--pre-event") {
      steps.pre_event = value();
    } else if (option == "--taper") {
      steps.taper = value();
    } else if (option == "--causal") {
      steps.causal = true;
    } else if (option == "--baseline") {
      steps.baseline = true;
    } else if (option == "--filter-only") {
      filter_only = true;
    } else {
      std::fprintf(stderr, "process_tool: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  const std::string text{std::istreambuf_iterator<char>(std::cin),
                         std::istreambuf_iterator<char>()};
  std::vector<double> samples;
  for (const char *p = text.data(), *end = p + text.size(); p < end;) {
    double v = 0;
    if (const char* next = base::scan_decimal(p, end, v)) {
      samples.push_back(v);
      p = next;
    } else {
      ++p;
    }
  }
  if (!dt) {
    std::fprintf(stderr, "process_tool: --dt is missing\n");
    return 2;
  }
  if (const base::status bad = processing::check(steps, *dt, samples.size())) {
    std::fprintf(stderr, "process_tool: %s\n", bad.what.c_str());
    return bad.code == base::code::usage ? 2 : 1;
  }
  processing::processed out;
  if (filter_only) {
    std::vector<processing::section> sections;
    if (steps.highpass)
      sections = processing::butterworth_highpass(steps.order, *steps.highpass, *dt);
    if (steps.lowpass) {
      const auto low = processing::butterworth_lowpass(steps.order, *steps.lowpass, *dt);
      sections.insert(sections.end(), low.begin(), low.end());
    }
    out.acceleration = samples;
    if (steps.causal) {
      std::vector<double> rest(2 * sections.size(), 0.0);
      processing::filter(sections, out.acceleration, rest);
    } else {
      processing::filter_forward_backward(sections, out.acceleration);
    }
  } else {
    out = processing::process(samples, *dt, steps);
  }
  std::printf("%zu\n", out.leading_pad);
  for (double v : out.acceleration) std::printf("%.17g\n", v);
  return 0;
}
