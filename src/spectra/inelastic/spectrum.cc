#include "spectra/inelastic/spectrum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>

#include "base/numbers.h"
#include "base/physics.h"
#include "spectra/spectrum.h"

namespace spectra::inelastic {
namespace {

// One run of the oscillator at a strength f_y = fy_norm f_0.
struct trial {
  double fy_norm = 1;
  double mu = 1;  // u_m / u_y
  run_result r;
};

std::string number(double v) {
  return base::shortest(v);
}

class period_search {
 public:
  period_search(std::span<const double> acceleration, double dt, double period,
                const inelastic_settings& s)
      : acceleration_(acceleration),
        period_(period),
        mode_(s.mode),
        stepping_(make_stepping({.period = period, .damping = s.damping, .alpha = s.alpha}, dt)) {
    elastic_.r = run_elastic(stepping_, acceleration_, mode_, history_);
    u0_ = elastic_.r.peak_deformation;
    runs_ = 1;
  }

  bool moves() const { return u0_ > 0; }
  const trial& elastic() const { return elastic_; }
  int runs() const { return runs_; }

  trial at(double fy_norm) {
    ++runs_;
    trial t;
    t.fy_norm = fy_norm;
    t.r = run(stepping_, acceleration_, fy_norm * u0_, mode_, nullptr, &history_);
    t.mu = t.r.peak_deformation / (fy_norm * u0_);
    return t;
  }

  ordinate row(double target, const trial& t, int runs) const {
    const double w = circular_frequency(period_);
    const double uy = t.fy_norm * u0_;
    return {.period = period_,
            .target = target,
            .reached = true,
            .fy_norm = t.fy_norm,
            .r_mu = 1 / t.fy_norm,
            .cy_g = w * w * uy / base::standard_gravity,
            .dy_cm = uy,
            .ay_g = w * w * uy / base::standard_gravity,
            .um_cm = t.r.peak_deformation,
            .c_mu = t.r.peak_deformation / u0_,
            .ductility = t.mu,
            .hysteretic_velocity = std::sqrt(2 * t.r.hysteretic_energy),
            .runs = runs};
  }

  ordinate missing(double target, std::string why) const {
    return {.period = period_, .target = target, .runs = runs_, .warning = std::move(why)};
  }

  double period() const { return period_; }

 private:
  std::span<const double> acceleration_;
  double period_;
  observation mode_;
  stepping stepping_;
  elastic_history history_;
  trial elastic_;
  double u0_ = 0;
  int runs_ = 0;
};

// Brent's method on ln(fy_norm), between a trial short of the target (mu < target) and one
// past it, until the bracket is refined_to wide: the trial at the end with mu nearer the target
// among those of the final bracket.
trial refine(period_search& p, trial short_of, trial past, double target) {
  trial a = short_of, b = past, c = a;
  const auto value = [&](const trial& t) { return t.mu - target; };
  const auto key = [](const trial& t) { return std::log(t.fy_norm); };
  double fa = value(a), fb = value(b), fc = fa;
  double d = key(b) - key(a), e = d;
  for (int i = 0; i < 100 && fb != 0; ++i) {
    if ((fb >= 0) == (fc >= 0)) {
      c = a;
      fc = fa;
      d = e = key(b) - key(a);
    }
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    const double tolerance =
        2 * std::numeric_limits<double>::epsilon() * std::fabs(key(b)) + refined_to / 2;
    const double half = (key(c) - key(b)) / 2;
    if (std::fabs(half) <= tolerance) break;
    if (std::fabs(e) >= tolerance && std::fabs(fa) > std::fabs(fb)) {
      // Inverse quadratic interpolation, or the secant when two of the points coincide.
      double num, den;
      const double s = fb / fa;
      if (a.fy_norm == c.fy_norm) {
        num = 2 * half * s;
        den = 1 - s;
      } else {
        const double q = fa / fc, r = fb / fc;
        num = s * (2 * half * q * (q - r) - (key(b) - key(a)) * (r - 1));
        den = (q - 1) * (r - 1) * (s - 1);
      }
      if (num > 0) {
        den = -den;
      } else {
        num = -num;
      }
      if (2 * num < std::min(3 * half * den - std::fabs(tolerance * den), std::fabs(e * den))) {
        e = d;
        d = num / den;
      } else {
        d = half;
        e = d;
      }
    } else {
      d = half;
      e = d;
    }
    a = b;
    fa = fb;
    const double next = key(b) + (std::fabs(d) > tolerance ? d : std::copysign(tolerance, half));
    b = p.at(std::exp(next));
    fb = value(b);
  }
  // b and c bracket the target; b is the nearer unless c reaches it and b does not.
  return std::fabs(fb) <= std::fabs(fc) ? b : c;
}

std::vector<ordinate> ductility_rows(period_search& p, std::span<const double> ductilities) {
  std::vector<ordinate> rows(ductilities.size());
  if (!p.moves()) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      rows[i] = p.missing(ductilities[i], "at period " + number(p.period()) +
                                              " s the elastic oscillator does not move: no "
                                              "strength is defined");
    }
    return rows;
  }
  std::vector<std::size_t> open;
  for (std::size_t i = 0; i < ductilities.size(); ++i) {
    if (ductilities[i] <= 1) {
      rows[i] = p.row(ductilities[i], p.elastic(), p.runs());
    } else {
      open.push_back(i);
    }
  }
  trial previous = p.elastic();
  int scan_runs = p.runs();
  while (!open.empty()) {
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t i : open) nearest = std::min(nearest, ductilities[i]);
    const double step =
        std::clamp(std::log(nearest / previous.mu) / 2, scan_steps.least, scan_steps.most);
    const double fy_norm = previous.fy_norm * std::exp(-step);
    if (fy_norm < scan_floor) break;
    const trial current = p.at(fy_norm);
    ++scan_runs;
    for (auto it = open.begin(); it != open.end();) {
      const double target = ductilities[*it];
      if (current.mu >= target) {
        const int before = p.runs();
        const trial found = refine(p, previous, current, target);
        rows[*it] = p.row(target, found, scan_runs + (p.runs() - before));
        it = open.erase(it);
      } else {
        ++it;
      }
    }
    previous = current;
  }
  for (std::size_t i : open) {
    rows[i] = p.missing(ductilities[i], "ductility " + number(ductilities[i]) +
                                            " is not reached at period " + number(p.period()) +
                                            " s: no strength down to " + number(scan_floor) +
                                            " f_0 gives it");
  }
  return rows;
}

std::vector<ordinate> strength_rows(period_search& p, std::span<const double> ratios) {
  std::vector<ordinate> rows(ratios.size());
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    if (!p.moves()) {
      rows[i] = p.missing(ratios[i], "at period " + number(p.period()) +
                                         " s the elastic oscillator does not move: no strength "
                                         "is defined");
      continue;
    }
    const trial t = ratios[i] == 1 ? p.elastic() : p.at(1 / ratios[i]);
    rows[i] = p.row(ratios[i], t, ratios[i] == 1 ? 1 : 2);
    rows[i].r_mu = ratios[i];
  }
  return rows;
}

// Each period's rows by one of the functions above, spread over threads.
std::vector<ordinate> over_periods(std::span<const double> periods, std::size_t per_period,
                                   unsigned threads,
                                   const std::function<std::vector<ordinate>(double)>& rows_at) {
  std::vector<ordinate> rows(periods.size() * per_period);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < periods.size();) {
      const std::vector<ordinate> r = rows_at(periods[i]);
      std::copy(r.begin(), r.end(), rows.begin() + static_cast<std::ptrdiff_t>(i * per_period));
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < std::min<std::size_t>(threads, periods.size()); ++t) {
    helpers.emplace_back(work);
  }
  work();
  for (std::thread& t : helpers) t.join();
  return rows;
}

}  // namespace

std::vector<ordinate> constant_ductility_at(std::span<const double> acceleration, double dt,
                                            double period, std::span<const double> ductilities,
                                            const inelastic_settings& s) {
  period_search p(acceleration, dt, period, s);
  return ductility_rows(p, ductilities);
}

std::vector<ordinate> constant_strength_at(std::span<const double> acceleration, double dt,
                                           double period, std::span<const double> strength_ratios,
                                           const inelastic_settings& s) {
  period_search p(acceleration, dt, period, s);
  return strength_rows(p, strength_ratios);
}

std::vector<ordinate> constant_ductility_spectrum(std::span<const double> acceleration, double dt,
                                                  std::span<const double> periods,
                                                  std::span<const double> ductilities,
                                                  const inelastic_settings& s) {
  return over_periods(periods, ductilities.size(), s.threads, [&](double period) {
    return constant_ductility_at(acceleration, dt, period, ductilities, s);
  });
}

std::vector<ordinate> constant_strength_spectrum(std::span<const double> acceleration, double dt,
                                                 std::span<const double> periods,
                                                 std::span<const double> strength_ratios,
                                                 const inelastic_settings& s) {
  return over_periods(periods, strength_ratios.size(), s.threads, [&](double period) {
    return constant_strength_at(acceleration, dt, period, strength_ratios, s);
  });
}

}  // namespace spectra::inelastic
