// The scalar twins of the vector kernels, what they share, and the choice between kernels.
#include "kernels/batch.h"

#include <cmath>

namespace kernels {
namespace {

// Gauss-Legendre on [0, 1], five nodes.
constexpr double gauss_fraction[energy_nodes] = {0.046910077030668004, 0.23076534494715845, 0.5,
                                                 0.76923465505284155, 0.95308992296933200};
constexpr double gauss_weight[energy_nodes] = {0.11846344252809454, 0.23931433524968324,
                                               0.28444444444444444, 0.23931433524968324,
                                               0.11846344252809454};

}  // namespace

void run_batch(const batch& b, std::span<peak_response> peaks) {
  if (b.energy) {
    run_energies(b, peaks);
  } else {
    run_peaks(b, peaks);
  }
}

energy_nodes_of_step nodes_of_step(double step) {
  energy_nodes_of_step n;
  for (int q = 0; q < energy_nodes; ++q) {
    n.fraction[q] = gauss_fraction[q];
    n.half_fraction[q] = gauss_fraction[q] / 2;
    n.time[q] = gauss_fraction[q] * step;
    n.weight[q] = gauss_weight[q] * step;
  }
  return n;
}

oscillator_coefficients coefficients(double h, double w, double dt, bool with_energy) {
  oscillator_coefficients c{};
  c.step = response::nigam_jennings(h, w, dt);
  if (with_energy) {
    const energy_nodes_of_step nodes = nodes_of_step(dt);
    for (int q = 0; q < energy_nodes; ++q) {
      c.to_node[q] = response::nigam_jennings(h, w, nodes.time[q]);
    }
  }
  return c;
}

displacement_recurrence eliminate_velocity(const response::recurrence& r) {
  // x(m) = a11 x(m-1) + a12 v(m-1) + ..., with a12 v(m-1) taken from the step before.
  return {r.a11 + r.a22,
          r.a12 * r.a21 - r.a11 * r.a22,
          r.b12,
          r.b11 + r.a12 * r.b22 - r.a22 * r.b12,
          r.a12 * r.b21 - r.a22 * r.b11,
          r};
}

void run_displacements_scalar(std::span<const double> ddy,
                              std::span<const displacement_recurrence> oscillators,
                              std::span<peak_response> peaks) {
  for (std::size_t lane = 0; lane < oscillators.size(); ++lane) {
    const displacement_recurrence& c = oscillators[lane];
    peak_response p;
    if (ddy.size() >= 2) {
      double before = 0, last = c.step.b12 * ddy[1] + c.step.b11 * ddy[0];
      p.sd = peak(p.sd, std::fabs(last));
      for (std::size_t m = 2; m < ddy.size(); ++m) {
        const double input = c.e0 * ddy[m] + c.e1 * ddy[m - 1] + c.e2 * ddy[m - 2];
        const double x = c.c1 * last + (c.c2 * before + input);
        p.sd = peak(p.sd, std::fabs(x));
        before = last;
        last = x;
      }
    }
    peaks[lane] = p;
  }
}

void run_batch_scalar(const batch& b, std::span<peak_response> peaks, const trace& more) {
  const std::size_t n = b.ddy.size();
  const std::size_t count = b.oscillators.size();
  const double half_step = b.step / 2;
  const energy_nodes_of_step nodes = nodes_of_step(b.step);
  for (std::size_t lane = 0; lane < count; ++lane) {
    const int k = b.substeps_of.empty() ? b.substeps : b.substeps_of[lane];
    const oscillator_coefficients& c = b.oscillators[lane];
    const double hw2 = c.step.hw + c.step.hw;
    response::oscillator_state s = b.start.empty() ? response::oscillator_state{} : b.start[lane];
    peak_response p;
    double relative = 0, absolute = 0, damping = 0;
    double g = 0;  // ground velocity, from rest
    std::size_t at = lane;
    const std::size_t stride = b.stride;
    const auto record = [&] {
      if (b.displacement) b.displacement[at] = s.x;
      if (more.velocity) more.velocity[at] = s.dx;
      if (more.relative_energy) more.relative_energy[at] = relative;
      if (more.absolute_energy) more.absolute_energy[at] = absolute;
      if (more.damping_energy) more.damping_energy[at] = damping;
      at += stride;
    };
    if (n > 0) record();
    for (std::size_t m = 1; m < n; ++m) {
      for (int j = 1; j <= k; ++j) {
        const double ddyf = interpolate(b.ddy[m - 1], b.ddy[m], j - 1, k);
        const double ddym = interpolate(b.ddy[m - 1], b.ddy[m], j, k);
        if (b.energy) {
          double step_relative = 0, step_absolute = 0, step_damping = 0;
          for (int q = 0; q < energy_nodes; ++q) {
            const response::recurrence& r = c.to_node[q];
            const double aq = ddyf + (ddym - ddyf) * nodes.fraction[q];
            const double gq = g + nodes.time[q] * (ddyf + (ddym - ddyf) * nodes.half_fraction[q]);
            const double xq = r.a12 * s.dx + r.a11 * s.x + r.b12 * aq + r.b11 * ddyf;
            const double vq = r.a22 * s.dx + r.a21 * s.x + r.b22 * aq + r.b21 * ddyf;
            step_relative = step_relative + nodes.weight[q] * (aq * vq);
            step_absolute = step_absolute + nodes.weight[q] * ((hw2 * vq + c.step.w2 * xq) * gq);
            step_damping = step_damping + nodes.weight[q] * (vq * vq);
          }
          relative = relative - step_relative;
          absolute = absolute - step_absolute;
          damping = damping + hw2 * step_damping;
          g = g + (ddyf + ddym) * half_step;
        }
        s = response::step(c.step, s, ddyf, ddym);
        p.sd = peak(p.sd, std::fabs(s.x));
        p.sv = peak(p.sv, std::fabs(s.dx));
        p.sa = peak(p.sa, std::fabs(response::absolute_acceleration(c.step, s)));
        if (b.energy) {
          p.relative_energy = peak(p.relative_energy, relative);
          p.absolute_energy = peak(p.absolute_energy, absolute);
        }
        record();
      }
    }
    if (b.displacement_only) p.sv = p.sa = 0;  // as the vector kernel leaves them
    peaks[lane] = p;
  }
}

}  // namespace kernels
