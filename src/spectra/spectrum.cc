#include "spectra/spectrum.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "base/numbers.h"
#include "base/physics.h"
#include "kernels/batch.h"
#include "kernels/continuous.h"
#include "kernels/pair.h"

namespace spectra {
namespace {

// The periods that share a number of sub-steps, so that they can share vector lanes.
std::map<int, std::vector<std::size_t>> by_substeps(std::span<const double> periods, double dt) {
  std::map<int, std::vector<std::size_t>> groups;
  for (std::size_t i = 0; i < periods.size(); ++i) groups[substeps(periods[i], dt)].push_back(i);
  return groups;
}

spectral_ordinate ordinate(const kernels::peak_response& p, double period) {
  spectral_ordinate o = pseudo_ordinate(p.sd, period);
  o.sv = p.sv;
  o.sa = p.sa / base::standard_gravity;
  o.relative_energy_velocity = std::sqrt(2 * p.relative_energy);
  o.absolute_energy_velocity = std::sqrt(2 * p.absolute_energy);
  return o;
}

// The oscillators at one step per sample, in the periods' order: the continuous peaks' kernels.
std::vector<kernels::oscillator_coefficients> one_step_oscillators(std::span<const double> periods,
                                                                   double dt, double damping) {
  std::vector<kernels::oscillator_coefficients> oscillators;
  for (double period : periods) {
    oscillators.push_back(kernels::coefficients(damping, circular_frequency(period), dt, false));
  }
  return oscillators;
}

// The input energies of a component (from the kernel that integrates them, over the sub-steps)
// put beside peaks taken otherwise.
void add_energies(std::span<const double> acceleration, double dt, std::span<const double> periods,
                  double damping, std::vector<spectral_ordinate>& ordinates) {
  const std::vector<spectral_ordinate> with =
      response_spectrum(acceleration, dt, periods, damping, true);
  for (std::size_t i = 0; i < ordinates.size(); ++i) {
    ordinates[i].relative_energy_velocity = with[i].relative_energy_velocity;
    ordinates[i].absolute_energy_velocity = with[i].absolute_energy_velocity;
  }
}

struct group_batch {
  std::vector<kernels::oscillator_coefficients> oscillators;
  kernels::batch b;
};

group_batch make_batch(std::span<const double> acceleration, double dt,
                       std::span<const double> periods, const std::vector<std::size_t>& members,
                       int k, double damping, bool energy) {
  group_batch g;
  const double step = dt / k;
  for (std::size_t i : members) {
    g.oscillators.push_back(
        kernels::coefficients(damping, circular_frequency(periods[i]), step, energy));
  }
  g.b = {.ddy = acceleration,
         .substeps = k,
         .step = step,
         .oscillators = g.oscillators,
         .energy = energy,
         .stride = kernels::padded(members.size())};
  return g;
}

// The oscillators of a batch with sub-steps per oscillator: most sub-steps first, so that the
// periods that take them share vectors; order[j] is the period of oscillator j.
struct ordered_oscillators {
  std::vector<std::size_t> order;
  std::vector<kernels::oscillator_coefficients> oscillators;
  std::vector<int> steps;
};

ordered_oscillators most_substeps_first(std::span<const double> periods, double dt,
                                        double damping) {
  ordered_oscillators o{.order = std::vector<std::size_t>(periods.size())};
  std::vector<int> k(periods.size());
  for (std::size_t i = 0; i < periods.size(); ++i) {
    o.order[i] = i;
    k[i] = substeps(periods[i], dt);
  }
  std::stable_sort(o.order.begin(), o.order.end(),
                   [&](std::size_t a, std::size_t b) { return k[a] > k[b]; });
  for (std::size_t i : o.order) {
    o.oscillators.push_back(
        kernels::coefficients(damping, circular_frequency(periods[i]), dt / k[i], false));
    o.steps.push_back(k[i]);
  }
  return o;
}

// The peaks at each period, in one batch: the periods that take sub-steps share vectors,
// most sub-steps first.
std::vector<kernels::peak_response> peaks_of(std::span<const double> acceleration, double dt,
                                             std::span<const double> periods, double damping,
                                             bool displacement_only) {
  const auto [order, oscillators, steps] = most_substeps_first(periods, dt, damping);
  const kernels::batch b{.ddy = acceleration,
                         .substeps = 1,
                         .step = dt,
                         .oscillators = oscillators,
                         .stride = kernels::padded(order.size()),
                         .substeps_of = steps,
                         .displacement_only = displacement_only};
  std::vector<kernels::peak_response> peaks(order.size()), result(periods.size());
  kernels::run_batch(b, peaks);
  for (std::size_t j = 0; j < order.size(); ++j) result[order[j]] = peaks[j];
  return result;
}

}  // namespace

std::size_t quiet_start(std::span<const double> acceleration) {
  std::size_t m = 0;
  while (m < acceleration.size() && acceleration[m] == 0) ++m;
  return m == 0 ? 0 : m - 1;
}

int substeps(double period, double dt) {
  if (!(period < 10 * dt)) return 1;
  return static_cast<int>(10 * dt / period - 0.01) + 1;
}

bool within_substep_limit(double period, double dt) {
  return period > 0 && dt > 0 && 10 * dt / period - 0.01 < most_substeps;
}

base::status check_periods(std::span<const double> periods, double dt) {
  for (double t : periods) {
    if (!within_substep_limit(t, dt)) {
      return base::failure("the period " + base::shortest(t) + " s would take more than " +
                           std::to_string(static_cast<long long>(most_substeps)) +
                           " steps per interval of " + base::shortest(dt) + " s");
    }
  }
  return {};
}

bool finite(const spectral_ordinate& o) {
  return std::isfinite(o.sd) && std::isfinite(o.sv) && std::isfinite(o.sa) &&
         std::isfinite(o.psv) && std::isfinite(o.psa) &&
         std::isfinite(o.relative_energy_velocity) && std::isfinite(o.absolute_energy_velocity);
}

double circular_frequency(double period) {
  return 2 * std::numbers::pi / period;
}

spectral_ordinate pseudo_ordinate(double sd, double period) {
  const double w = circular_frequency(period);
  spectral_ordinate o;
  o.sd = sd;
  o.psv = w * sd;
  o.psa = w * w * sd / base::standard_gravity;
  return o;
}

std::vector<spectral_ordinate> response_spectrum(std::span<const double> acceleration, double dt,
                                                 std::span<const double> periods, double damping,
                                                 bool energy, peak_rule rule) {
  if (rule == peak_rule::continuous) {
    const std::span<const double> moving = acceleration.subspan(quiet_start(acceleration));
    std::vector<kernels::peak_response> peaks(periods.size());
    kernels::run_continuous(moving, dt, one_step_oscillators(periods, dt, damping), peaks);
    std::vector<spectral_ordinate> result(periods.size());
    for (std::size_t i = 0; i < periods.size(); ++i) result[i] = ordinate(peaks[i], periods[i]);
    if (energy) add_energies(acceleration, dt, periods, damping, result);
    return result;
  }
  acceleration = acceleration.subspan(quiet_start(acceleration));
  std::vector<spectral_ordinate> result(periods.size());
  if (!energy) {
    const std::vector<kernels::peak_response> peaks =
        peaks_of(acceleration, dt, periods, damping, false);
    for (std::size_t i = 0; i < periods.size(); ++i) result[i] = ordinate(peaks[i], periods[i]);
    return result;
  }
  for (const auto& [k, members] : by_substeps(periods, dt)) {
    group_batch g = make_batch(acceleration, dt, periods, members, k, damping, energy);
    std::vector<kernels::peak_response> peaks(members.size());
    kernels::run_batch(g.b, peaks);
    for (std::size_t j = 0; j < members.size(); ++j) {
      result[members[j]] = ordinate(peaks[j], periods[members[j]]);
    }
  }
  return result;
}

std::vector<double> peak_displacements(std::span<const double> acceleration, double dt,
                                       std::span<const double> periods, double damping) {
  acceleration = acceleration.subspan(quiet_start(acceleration));
  std::vector<double> sd(periods.size());
  // One step per sample: the displacement alone; sub-steps: the full recurrence, Sd alone.
  std::vector<std::size_t> one_step, more_steps;
  for (std::size_t i = 0; i < periods.size(); ++i) {
    (substeps(periods[i], dt) == 1 ? one_step : more_steps).push_back(i);
  }
  std::vector<kernels::displacement_recurrence> oscillators;
  for (std::size_t i : one_step) {
    oscillators.push_back(kernels::eliminate_velocity(
        response::nigam_jennings(damping, circular_frequency(periods[i]), dt)));
  }
  std::vector<kernels::peak_response> peaks(one_step.size());
  kernels::run_displacements(acceleration, dt, oscillators, peaks);
  for (std::size_t j = 0; j < one_step.size(); ++j) sd[one_step[j]] = peaks[j].sd;
  std::vector<double> short_periods;
  for (std::size_t i : more_steps) short_periods.push_back(periods[i]);
  const std::vector<kernels::peak_response> short_peaks =
      peaks_of(acceleration, dt, short_periods, damping, true);
  for (std::size_t j = 0; j < more_steps.size(); ++j) sd[more_steps[j]] = short_peaks[j].sd;
  return sd;
}

rotated_ordinate rotd_at(const rotated_ordinates& q, double percentile, double period) {
  rotated_ordinate r{.values = pseudo_ordinate(q.sd.percentile(percentile), period),
                     .sd_angle = q.sd.angle_at(percentile),
                     .sv_angle = q.sv.angle_at(percentile),
                     .sa_angle = q.sa.angle_at(percentile)};
  r.values.sv = q.sv.percentile(percentile);
  r.values.sa = q.sa.percentile(percentile);
  return r;
}

pair_spectrum response_spectrum_of_pair(std::span<const double> first,
                                        std::span<const double> second, double dt,
                                        std::span<const double> periods, double damping,
                                        bool energy, peak_rule rule) {
  pair_spectrum result;
  result.first.resize(periods.size());
  result.second.resize(periods.size());
  result.rotated.resize(periods.size());
  result.rotd.resize(periods.size());
  const std::size_t length = std::min(first.size(), second.size());
  if (length < 2) {
    // At rest: every peak is zero.
    return result;
  }
  first = first.first(length);
  second = second.first(length);
  const std::size_t quiet = std::min(quiet_start(first), quiet_start(second));
  first = first.subspan(quiet);
  second = second.subspan(quiet);
  std::vector<kernels::pair_response> peaks(periods.size());
  std::vector<std::size_t> order(periods.size());
  if (rule == peak_rule::continuous) {
    for (std::size_t i = 0; i < periods.size(); ++i) order[i] = i;
    kernels::run_continuous_pair(first, second, dt, one_step_oscillators(periods, dt, damping),
                                 peaks);
  } else {
    const auto [sorted, oscillators, steps] = most_substeps_first(periods, dt, damping);
    order = sorted;
    kernels::run_pair({.first = first,
                       .second = second,
                       .interval = dt,
                       .oscillators = oscillators,
                       .substeps_of = steps},
                      peaks);
  }
  for (std::size_t j = 0; j < order.size(); ++j) {
    const std::size_t i = order[j];
    const kernels::pair_response& p = peaks[j];
    result.first[i] = ordinate(p.first, periods[i]);
    result.second[i] = ordinate(p.second, periods[i]);
    rotated_ordinates& r = result.rotd[i];
    r.sd = kernels::angle_peaks::of(p.sd.data());
    r.sv = kernels::angle_peaks::of(p.sv.data());
    r.sa = kernels::angle_peaks::of(p.sa.data(), base::standard_gravity);
    result.rotated[i] = {.rotd00 = r.sd.sorted.front(),
                         .rotd50 = (r.sd.sorted[89] + r.sd.sorted[90]) / 2,
                         .rotd100 = r.sd.sorted.back(),
                         .angle00 = r.sd.angle.front(),
                         .angle100 = r.sd.angle.back()};
  }
  if (energy) {
    add_energies(first, dt, periods, damping, result.first);
    add_energies(second, dt, periods, damping, result.second);
  }
  return result;
}

}  // namespace spectra
