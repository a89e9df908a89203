// Constant-ductility and constant-strength spectra of bilinear oscillators: the strength a
// ductility needs (R_mu, C_y, C_mu) and the ductility a strength gets. Pure: accelerations in,
// rows out; what a row lacks is said in its warning, never printed.
#pragma once

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "spectra/inelastic/bilinear.h"

namespace spectra::inelastic {

// One row: one period and one target. u_0 is the peak deformation of the elastic oscillator of
// the same period and damping, f_0 = k u_0 its peak force; u_y = f_y / k the yield deformation;
// u_m the peak deformation of the yielding oscillator, mu u_y: the two are different columns.
struct ordinate {
  double period = 0;       // s
  double target = 0;       // the ductility sought, or the strength ratio R given
  bool reached = false;    // false: the values below are not-a-number and warning says why
  double fy_norm = NAN;    // f_y / f_0 = u_y / u_0
  double r_mu = NAN;       // f_0 / f_y
  double cy_g = NAN;       // f_y / (m g) = w^2 u_y / g
  double dy_cm = NAN;      // u_y, cm
  double ay_g = NAN;       // w^2 u_y / g, the pseudo-acceleration at yield: the same number as C_y
  double um_cm = NAN;      // u_m, cm
  double c_mu = NAN;       // u_m / u_0
  double ductility = NAN;  // u_m / u_y reached
  double hysteretic_velocity = NAN;  // sqrt(2 E_H), E_H per unit mass at the record's end, cm/s
  // Oscillator runs behind the row: the elastic run, the scan runs up to the row's bracket
  // (shared with the period's other rows) and the row's own refinement.
  int runs = 0;
  std::string warning;  // empty, or what is wrong with the row, naming the period
};

struct inelastic_settings {
  double damping = 0.05;  // zeta, [0, 1)
  double alpha = 0;       // post-yield over initial stiffness, [0, 1)
  observation mode = observation::continuous;
  unsigned threads = 1;  // threads over the periods
  bool lanes = true;     // runs in vector lanes; else one after the other (the same, bit for bit)
};

// The scan for the largest strength: from f_y = f_0 downwards, each step of ln(f_y / f_0) half
// of ln(target / mu) for the nearest open target above the mu just found, at least 0.01 and at
// most 0.2 (see docs/inelastic.md for why), down to f_y = 0.002 f_0. A crossing is then
// refined by Brent's method until f_y / f_0 is known to 1e-6 (relative).
struct scan_step_limits {
  double least, most;
};
inline constexpr scan_step_limits scan_steps{.least = 0.01, .most = 0.2};
inline constexpr double scan_floor = 0.002;
inline constexpr double refined_to = 1e-6;

// The constant-ductility spectrum: for each period (s), in order, a row per ductility (>= 1),
// in order: the largest f_y with u_m = mu u_y.
std::vector<ordinate> constant_ductility_spectrum(std::span<const double> acceleration, double dt,
                                                  std::span<const double> periods,
                                                  std::span<const double> ductilities,
                                                  const inelastic_settings& s);

// The constant-strength spectrum: for each period, a row per strength ratio R = f_0 / f_y (>= 1):
// the ductility it gets, one run each.
std::vector<ordinate> constant_strength_spectrum(std::span<const double> acceleration, double dt,
                                                 std::span<const double> periods,
                                                 std::span<const double> strength_ratios,
                                                 const inelastic_settings& s);

// The same at one period, for a caller that spreads periods over its own threads.
std::vector<ordinate> constant_ductility_at(std::span<const double> acceleration, double dt,
                                            double period, std::span<const double> ductilities,
                                            const inelastic_settings& s);
std::vector<ordinate> constant_strength_at(std::span<const double> acceleration, double dt,
                                           double period, std::span<const double> strength_ratios,
                                           const inelastic_settings& s);

}  // namespace spectra::inelastic
