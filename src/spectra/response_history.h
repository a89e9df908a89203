// The response of one oscillator at every sample of a record: relative displacement, relative
// velocity and absolute acceleration, by the same recurrence and sub-steps as the spectra, so
// that the largest of each over the samples is the spectrum's value wherever a period takes
// one step per sample. Pure.
#pragma once

#include <span>
#include <vector>

namespace spectra {

struct response_histories {
  std::vector<double> displacement;           // relative to the ground, cm
  std::vector<double> velocity;               // relative to the ground, cm/s
  std::vector<double> absolute_acceleration;  // of the mass, cm/s2
};

// From rest, one value per sample of the acceleration (cm/s2 at intervals of dt s); a period
// shorter than ten intervals takes the spectra's sub-steps between samples (substeps()), the
// acceleration linear in between. Validates nothing (see check_periods).
response_histories response_history(std::span<const double> acceleration, double dt, double period,
                                    double damping);

}  // namespace spectra
