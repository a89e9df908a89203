// The bilinear oscillator of inelastic spectra, run through a record exactly between the events
// at which it starts and stops yielding. Pure: accelerations in, peaks and energies out.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "response/oscillator.h"

namespace spectra::inelastic {

// Per unit mass: initial stiffness w^2 (w = 2 pi / period), viscous damping 2 zeta w from the
// initial stiffness and constant, a yield force w^2 u_y and a post-yield stiffness alpha w^2;
// the elastic range, 2 f_y wide, moves with the yielding (kinematic hardening). At rest at the
// first sample; the ground acceleration is linear between samples.
struct bilinear_oscillator {
  double period = 0;   // s
  double damping = 0;  // zeta, from 0 up to (not) 1
  double alpha = 0;    // post-yield over initial stiffness, from 0 up to (not) 1
};

// When the run looks at the oscillator.
enum class observation {
  // Over continuous time: yielding begins whenever the force reaches a yield line, between steps
  // too, and the peak deformation is the peak between steps. The elastic peak u_0 is then also
  // the one between steps: a yield force of k u_0 leaves the oscillator elastic (at every step
  // the elastic spectra's deformation, bit for bit), but k u_0 may exceed the elastic spectra's
  // PSa, which they take at the steps. Exact: the default.
  continuous,
  // At the steps, as the elastic spectra take their peaks: yielding begins in the step at whose
  // end the elastic force is past a yield line (at the first instant of the step at which it
  // reaches the line), and the peak is taken at the step ends and the events. A yield force of
  // k u_0 is then the elastic spectra's PSa, bit for bit; but an excursion past a yield line that
  // begins and ends between two steps is missed, which moves u_m by up to several percent where
  // a step is a tenth of the period.
  at_steps,
};

// One full step on a yielding branch, from the displacement since the onset of yielding and the
// velocity: y(h) = a11 y + a12 v + b11 p_start + b12 p_end, v(h) likewise with a2x, b2x, where
// p is the ground acceleration plus the force (per unit mass) at the onset.
struct branch_step {
  double a11, a12, a21, a22, b11, b12, b21, b22;
};

// What the steps of one oscillator need at one sample interval, worked out once.
struct stepping {
  int substeps = 1;                // steps per sample interval, as the elastic spectra take
  double step = 0;                 // the interval divided by substeps, s
  double per_step = 0;             // 1 / step
  double omega2 = 0;               // w^2, 1/s2
  double omega = 0;                // sqrt(w^2)
  double per_omega = 0;            // 1 / omega
  double per_wd = 0;               // 1 / (w sqrt(1 - zeta^2))
  double c = 0;                    // 2 zeta w, 1/s
  double alpha = 0;                // post-yield over initial stiffness
  double kappa = 0;                // alpha w^2
  double root_kappa = 0;           // sqrt(alpha) w
  response::recurrence elastic{};  // the elastic spectra's own coefficients
  branch_step yielding{};
};
stepping make_stepping(const bilinear_oscillator& o, double dt);

struct run_result {
  double peak_deformation = 0;   // u_m = max |u|, cm
  double hysteretic_energy = 0;  // E_H per unit mass at the end of the record, cm2/s2
  std::size_t yield_onsets = 0;  // the excursions into yielding
  // The sample after which nothing could change the result any more, where the run stopped (the
  // last sample when it ran to the end).
  std::size_t settled_at = 0;
};

// Everything at every step's end, and the instants of the events: for tests.
struct trace_point {
  double time;         // s from the first sample
  int branch;          // 0 elastic, +1 or -1 yielding in that direction
  double deformation;  // u, cm
  double velocity;     // cm/s
  double force;        // f_s / m, cm/s2
  // Energies per unit mass, cm2/s2: the relative input energy -int a_g u' dt, and its parts.
  double input, kinetic, strain, damping, hysteretic;
};
struct trace {
  std::vector<trace_point> points;
  std::vector<double> onsets, reversals;  // s
};

// The elastic oscillator's state and running peak at every sample (up to where it settles):
// runs of the yielding one start from it at the last sample before their first yield, where
// they part from it.
// They also stop where nothing left of the record can change the result: remaining holds the
// integral of |a_g| from each sample to the end.
struct elastic_history {
  std::vector<double> x, v, peak;  // at samples 0, 1, ...; peak: the peak deformation so far
  std::vector<double> remaining;   // cm/s
};

// The oscillator through a record (cm/s2, at the interval the stepping was made for) with the
// given yield deformation u_y = f_y / k (cm; infinity: elastic). With the elastic history of
// the same stepping, record and mode, the same result at less cost.
run_result run(const stepping& s, std::span<const double> acceleration, double yield_deformation,
               observation mode = observation::continuous, trace* t = nullptr,
               const elastic_history* from = nullptr);

// One run of a batch in vector lanes: the oscillator, its yield deformation, the elastic
// history it starts from (or none: from rest at the first sample), and its result.
struct lane_run {
  const stepping* s = nullptr;
  double yield_deformation = 0;
  const elastic_history* from = nullptr;
  run_result result;
  // Where the run is likely to settle (as a run of a similar strength did), or 0: runs that
  // stop together share vectors.
  std::size_t expected_end = 0;
};

// Runs through one record, all of the same sub-steps, in the processor's widest vector lanes:
// each result is what run() gives for it, bit for bit.
void run_in_lanes(std::span<const double> acceleration, observation mode, std::span<lane_run> runs);

// The elastic oscillator through the record, keeping its history.
run_result run_elastic(const stepping& s, std::span<const double> acceleration, observation mode,
                       elastic_history& history);

}  // namespace spectra::inelastic
