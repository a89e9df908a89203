// The Fourier spectra of samples read from standard input (one number a line), for reference
// scripts to compare with NumPy:
//   fourier_driver fas DT            prints L and df, then |X(k df)| dt for k = 0 .. L/2
//   fourier_driver smooth DT B GRID  prints the FAS smoothed at the grid's frequencies
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/fourier/spectrum.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const auto dt = argc > 2 ? base::parse_decimal(argv[2]) : std::nullopt;
  if (!dt || !((mode == "fas" && argc == 3) || (mode == "smooth" && argc == 5))) {
    std::fprintf(stderr, "usage: fourier_driver fas DT | smooth DT B GRID < samples\n");
    return 2;
  }
  std::vector<double> samples;
  for (std::string line; std::getline(std::cin, line);) {
    const auto v = base::parse_decimal(line);
    if (!v) {
      std::fprintf(stderr, "fourier_driver: not a number: %s\n", line.c_str());
      return 1;
    }
    samples.push_back(*v);
  }
  const fourier::spectrum_result s = fourier::amplitude_spectrum(samples, *dt);
  if (!s.ok()) {
    std::fprintf(stderr, "fourier_driver: %s\n", s.status.what.c_str());
    return 1;
  }
  std::vector<double> values = s.value.amplitudes;
  if (mode == "fas") {
    std::printf("%zu %.17g\n", 2 * (values.size() - 1), s.value.df);
  } else {
    const spectra::parsed_values b = fourier::parse_bandwidth(argv[3]);
    const spectra::parsed_values grid = fourier::parse_grid(argv[4]);
    for (const base::status& refused : {b.status, grid.status}) {
      if (!refused.ok()) {
        std::fprintf(stderr, "fourier_driver: %s\n", refused.what.c_str());
        return 2;
      }
    }
    values = fourier::smooth(values, s.value.df, grid.values, b.values[0]);
  }
  for (double v : values) std::printf("%.17g\n", v);
  return 0;
}
