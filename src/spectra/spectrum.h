// Response spectra of ground-motion components, and the rotated spectra of horizontal pairs.
// Pure: accelerations in, spectral values out.
#pragma once

#include <span>
#include <vector>

#include "base/status.h"
#include "kernels/angle_peaks.h"
#include "kernels/rotd.h"

namespace spectra {

// One period of a spectrum.
struct spectral_ordinate {
  double sd = 0;                        // peak relative displacement, cm
  double sv = 0;                        // peak relative velocity, cm/s
  double sa = 0;                        // peak absolute acceleration, g
  double psv = 0;                       // w Sd, cm/s
  double psa = 0;                       // w^2 Sd, g
  double relative_energy_velocity = 0;  // sqrt(2 E) of the peak relative input energy, cm/s
  double absolute_energy_velocity = 0;  // the same of the absolute input energy, cm/s
};

// Steps per sample interval for a period: a period under ten intervals takes
// int(10 dt / T - 0.01) + 1 of them, so that each is at most about a tenth of the period.
int substeps(double period, double dt);

// The most steps per sample interval that a period may take: 10^6 (a period a hundred
// thousand times shorter than the interval). A shorter period is refused before anything is
// computed or allocated.
inline constexpr double most_substeps = 1e6;
bool within_substep_limit(double period, double dt);
// Ok, or the first period that breaks the limit at that interval, in words.
base::status check_periods(std::span<const double> periods, double dt);

// Whether every number of an ordinate is finite (a record of absurd values, or an absurd period,
// can make the response overflow).
bool finite(const spectral_ordinate& o);

// Where a run from rest may start without changing any peak or energy: an oscillator at rest
// stays exactly at rest over samples of zero (the leading pads of a processed record), so the
// spectra start at the last zero before the first sample that is not.
std::size_t quiet_start(std::span<const double> acceleration);

// The circular frequency of a period, 2 pi / T with 2 pi to double precision.
double circular_frequency(double period);

// Sd with the PSv and PSa it gives at a period (the rest left at zero).
spectral_ordinate pseudo_ordinate(double sd, double period);

// Where the peaks are taken: at the samples, with sub-steps of at most a tenth of the period
// (the databases' rule), or over continuous time, between the samples too (the exact peaks of
// the response to the ground motion linear between samples).
enum class peak_rule { sampled, continuous };

// The spectrum of one component (acceleration in cm/s2, dt in s) at one damping ratio. With
// continuous peaks the input energies stay those of the sub-steps.
std::vector<spectral_ordinate> response_spectrum(std::span<const double> acceleration, double dt,
                                                 std::span<const double> periods, double damping,
                                                 bool energy, peak_rule peaks = peak_rule::sampled);

// Sd alone (cm) at each period, at less cost: what the spectrum gives within about 1e-11
// (periods of one step per sample take the recurrence of the displacement alone).
std::vector<double> peak_displacements(std::span<const double> acceleration, double dt,
                                       std::span<const double> periods, double damping);

// The rotated spectra of a pair at one period (Boore 2010): for the relative displacement, the
// relative velocity and the absolute acceleration, the peaks over time at the angles 0 to 179
// degrees of u1 cos t + u2 sin t, sorted, from which RotD at any percentile and its angle follow.
struct rotated_ordinates {
  kernels::angle_peaks sd;  // cm
  kernels::angle_peaks sv;  // cm/s
  kernels::angle_peaks sa;  // g
};

// RotD at one percentile, as a rotated row holds it: Sd, Sv and Sa of the rotations, PSv and PSa
// of the RotD of Sd, and the angle (degrees) of each of the three.
struct rotated_ordinate {
  spectral_ordinate values;
  int sd_angle = 0, sv_angle = 0, sa_angle = 0;
};
rotated_ordinate rotd_at(const rotated_ordinates& q, double percentile, double period);

// Both components of a horizontal pair, and their rotated spectra: RotD00, RotD50 and RotD100
// of the displacement (PSv and PSa follow as w and w^2 times it), and every ordinate at every
// percentile.
struct pair_spectrum {
  std::vector<spectral_ordinate> first, second;
  std::vector<kernels::rotated_peaks> rotated;
  std::vector<rotated_ordinates> rotd;
};

// The pair runs through both components at once and keeps no histories.
pair_spectrum response_spectrum_of_pair(std::span<const double> first,
                                        std::span<const double> second, double dt,
                                        std::span<const double> periods, double damping,
                                        bool energy, peak_rule peaks = peak_rule::sampled);

}  // namespace spectra
