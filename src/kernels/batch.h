// A batch of oscillators driven by one ground-acceleration history: the peak responses of
// each, optionally their displacement histories and their input energies. The SIMD kernel
// runs many oscillators at once in vector lanes, each lane computing exactly what the scalar
// twin computes for that oscillator, operation for operation.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "response/oscillator.h"

namespace kernels {

// Gauss-Legendre nodes per step for the energy integrals: exact for the polynomial part of
// the solution, and within 1e-11 of the rest while a step is under a tenth of a period.
inline constexpr int energy_nodes = 5;

// The widest vector has 8 lanes of doubles.
inline constexpr std::size_t lane_padding = 8;
inline std::size_t padded(std::size_t count) {
  return (count + lane_padding - 1) / lane_padding * lane_padding;
}

// What one oscillator of a batch needs: its recurrence over one (sub-)step, and for the
// energies the recurrences from the start of a step to each Gauss node.
struct oscillator_coefficients {
  response::recurrence step;
  response::recurrence to_node[energy_nodes];
};

// The oscillator over steps of dt: h damping ratio, w circular frequency.
oscillator_coefficients coefficients(double h, double w, double dt, bool with_energy);

// Peaks over every (sub-)sample: relative displacement, relative velocity, absolute
// acceleration; with energies, the largest relative and absolute input energy per unit mass.
struct peak_response {
  double sd = 0;
  double sv = 0;
  double sa = 0;
  double relative_energy = 0;
  double absolute_energy = 0;
  // The sample after which no peak could change any more, where the vector kernel stopped
  // (0: it ran to the end).
  std::size_t settled_at = 0;
};

struct batch {
  std::span<const double> ddy;  // ground acceleration at the samples
  int substeps = 1;             // steps per sample interval, the input linear in between
  double step = 0;              // the (sub-)step: the interval divided by substeps
  std::span<const oscillator_coefficients> oscillators;
  bool energy = false;  // also the input energies
  // When set: x of every oscillator at every (sub-)sample, the start included:
  // displacement[i * stride + lane], i from 0 to (ddy.size() - 1) * substeps. The kernel
  // writes whole vectors: stride is at least the oscillator count rounded up to lane_padding.
  double* displacement = nullptr;
  std::size_t stride = 0;
  // The state at the first sample, one per oscillator; at rest when empty.
  std::span<const response::oscillator_state> start = {};
  // When the oscillators take different numbers of steps per interval (each with coefficients
  // for its own step): one number per oscillator, largest first. Only without energies and
  // histories; substeps and step are then unused.
  std::span<const int> substeps_of = {};
  // Sd alone: Sv and Sa are left at zero. Only without energies and histories.
  bool displacement_only = false;
};

// The number of (sub-)samples a history of the batch holds per oscillator.
inline std::size_t history_length(const batch& b) {
  return b.ddy.empty() ? 0 : (b.ddy.size() - 1) * static_cast<std::size_t>(b.substeps) + 1;
}

// The SIMD kernels, dispatched at run time to the widest instruction set of the machine: with
// energies (energy_simd.cc) or without (peaks_simd.cc).
void run_batch(const batch& b, std::span<peak_response> peaks);
void run_peaks(const batch& b, std::span<peak_response> peaks);
void run_energies(const batch& b, std::span<peak_response> peaks);

// More of the scalar twin's history, for tests: at every (sub-)sample, in the layout of
// batch::displacement (same stride).
struct trace {
  double* velocity = nullptr;
  double* relative_energy = nullptr;  // with batch::energy
  double* absolute_energy = nullptr;  // with batch::energy
  double* damping_energy = nullptr;   // with batch::energy
};

// Sd alone at one step per sample, by the recurrence of the displacement on its last two values
// (the velocity eliminated): x(m) = c1 x(m-1) + (c2 x(m-2) + (e0 ddy(m) + e1 ddy(m-1) +
// e2 ddy(m-2))), summed so, from rest; x(1) by the recurrence above. The same oscillator with about
// half the arithmetic, but not the same rounding (the two agree to about 1e-11): for what is
// integrated over many periods, the spectrum intensity.
struct displacement_recurrence {
  double c1, c2, e0, e1, e2;
  response::recurrence step;  // for x(1), and the velocity where the kernel looks back
};
displacement_recurrence eliminate_velocity(const response::recurrence& r);

// Sd (and settled_at) of each oscillator, in vector lanes; the scalar twin below.
void run_displacements(std::span<const double> ddy, double dt,
                       std::span<const displacement_recurrence> oscillators,
                       std::span<peak_response> peaks);
void run_displacements_scalar(std::span<const double> ddy,
                              std::span<const displacement_recurrence> oscillators,
                              std::span<peak_response> peaks);

// The plain loop, one oscillator after the other.
void run_batch_scalar(const batch& b, std::span<peak_response> peaks, const trace& more = {});

// The acceleration at sub-step j of k within the interval from ddyf to ddym: linear, and
// exactly the samples at its ends.
inline double interpolate(double ddyf, double ddym, int j, int k) {
  if (j == 0) return ddyf;
  if (j == k) return ddym;
  return ddyf + (ddym - ddyf) * (static_cast<double>(j) / static_cast<double>(k));
}

// A peak p meeting q: p if p > q, else q (the rule of the processor's max instruction, which
// the vector lanes use).
inline double peak(double p, double q) {
  return p > q ? p : q;
}

// What the energy integrals of one step share across oscillators: the Gauss nodes as
// fractions of the step, their times and weights.
struct energy_nodes_of_step {
  double fraction[energy_nodes];
  double half_fraction[energy_nodes];
  double time[energy_nodes];
  double weight[energy_nodes];
};
energy_nodes_of_step nodes_of_step(double step);

// The name of the instruction set the kernel runs with on this machine.
const char* kernel_target();

}  // namespace kernels
