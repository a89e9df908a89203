// Fourier amplitude spectra (FAS) of ground-motion components and the effective amplitude
// spectrum (EAS) of a horizontal pair. Pure: accelerations in, amplitudes out.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "base/status.h"

namespace fourier {

// The length a record of n samples is zero-padded to before its transform: the smallest even
// 2^a 3^b 5^c at or above n (and at least 2). The transform factors such lengths into its
// radix-2, 3, 4 and 5 steps alone, and there is one within a few per cent of any n.
std::size_t transform_length(std::size_t samples);

// Amplitudes at the frequencies k df, k = 0 .. L/2, of a record padded to L samples.
struct spectrum {
  double df = 0;                   // Hz: 1 / (L dt)
  std::vector<double> amplitudes;  // cm/s for accelerations in cm/s2
};

struct spectrum_result {
  spectrum value;
  base::status status;  // ok, or why there is no spectrum
  bool ok() const { return status.ok(); }
};

// The FAS |X(k df)| dt, where X(f_k) = sum_j a_j exp(-2 pi i j k / L) is the discrete Fourier
// transform of the acceleration (cm/s2) padded with zeros to L samples. length 0 takes
// transform_length(n); any other must be such a length, at least n. Fails for fewer than two
// samples, an interval that is not positive and finite, or a sample that is not finite.
spectrum_result amplitude_spectrum(std::span<const double> acceleration, double dt,
                                   std::size_t length = 0);

// The EAS of two spectra of one grid (the two horizontal components of a record, transformed
// at one length): sqrt((A1^2 + A2^2) / 2) bin by bin, whatever the sensors' orientation.
spectrum_result effective_amplitude(const spectrum& first, const spectrum& second);

// The same from the two accelerations, both padded to the length of the longer.
spectrum_result effective_amplitude(std::span<const double> first, std::span<const double> second,
                                    double dt);

}  // namespace fourier
