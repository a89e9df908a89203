// The values of sdofspec's Fourier options: the frequencies a spectrum is smoothed at and the
// bandwidth of the window. Pure: text in, values or what is wrong out.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "spectra/grids.h"  // spectra::parsed_values, the value of every option parser

namespace fourier {

// The grid a spectrum is smoothed at unless told otherwise (capped at each record's Nyquist
// frequency).
inline constexpr std::string_view default_grid = "log:0.1:50:100";

// "log:FMIN:FMAX:N": N frequencies evenly spaced in the logarithm from FMIN to FMAX (Hz), both
// included; 0 < FMIN <= FMAX, N a whole number from 1 to 100000 (1 only with FMIN = FMAX).
// The frequencies in Hz, rising, or a usage failure.
spectra::parsed_values parse_grid(std::string_view text);

// Konno and Ohmachi's bandwidth b: one number above 0 and at most 1000; or a usage failure.
spectra::parsed_values parse_bandwidth(std::string_view text);

// The Nyquist frequency of an interval: 1 / (2 dt), Hz.
double nyquist(double dt);

// The frequencies at or below the Nyquist frequency of dt (the default grid on a record
// sampled more coarsely than it reaches).
std::vector<double> capped_at_nyquist(std::span<const double> frequencies, double dt);

// Ok, or a usage failure saying why the frequencies do not fit a record of interval dt: one
// above its Nyquist frequency (a grid the user gave).
base::status check_grid(std::span<const double> frequencies, double dt);

}  // namespace fourier
