#include "spectra/inelastic/spectrum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

#include "base/numbers.h"
#include "base/physics.h"
#include "spectra/inelastic/steps.h"
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

// One period of a record: its oscillator, the elastic run and its history, and the rows.
class period {
 public:
  period(std::span<const double> acceleration, double dt, double t, const inelastic_settings& s)
      : period_(t),
        stepping_(make_stepping({.period = t, .damping = s.damping, .alpha = s.alpha}, dt)) {
    elastic_.r = run_elastic(stepping_, acceleration, s.mode, history_);
    u0_ = elastic_.r.peak_deformation;
  }

  bool moves() const { return u0_ > 0; }
  const trial& elastic() const { return elastic_; }

  // The run at a strength, to be done by the caller.
  lane_run run_at(double fy_norm) const {
    return {.s = &stepping_, .yield_deformation = fy_norm * u0_, .from = &history_};
  }
  trial result(double fy_norm, const run_result& r) const {
    return {.fy_norm = fy_norm, .mu = r.peak_deformation / (fy_norm * u0_), .r = r};
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

  ordinate missing(double target, std::string why, int runs) const {
    return {.period = period_, .target = target, .runs = runs, .warning = std::move(why)};
  }

  std::string still() const {
    return "at period " + number(period_) +
           " s the elastic oscillator does not move: no strength " + "is defined";
  }

  double t() const { return period_; }

 private:
  double period_;
  stepping stepping_;
  elastic_history history_;
  trial elastic_;
  double u0_ = 0;
};

// Brent's method on ln(fy_norm), between a trial short of the target (mu < target) and one
// past it, until the bracket is refined_to wide, one evaluation at a time: next() names the
// strength to run, take() hands over its trial. The result is the end of the final bracket with
// mu nearer the target.
class brent {
 public:
  brent(const trial& short_of, const trial& past, double target)
      : target_(target), a_(short_of), b_(past), c_(short_of) {
    fa_ = value(a_);
    fb_ = value(b_);
    fc_ = fa_;
    d_ = e_ = key(b_) - key(a_);
    finished_ = fb_ == 0;
  }

  std::optional<double> next() {
    if (finished_) return std::nullopt;
    if ((fb_ >= 0) == (fc_ >= 0)) {
      c_ = a_;
      fc_ = fa_;
      d_ = e_ = key(b_) - key(a_);
    }
    if (std::fabs(fc_) < std::fabs(fb_)) {
      a_ = b_;
      b_ = c_;
      c_ = a_;
      fa_ = fb_;
      fb_ = fc_;
      fc_ = fa_;
    }
    const double tolerance =
        2 * std::numeric_limits<double>::epsilon() * std::fabs(key(b_)) + refined_to / 2;
    const double half = (key(c_) - key(b_)) / 2;
    if (std::fabs(half) <= tolerance) {
      finished_ = true;
      return std::nullopt;
    }
    if (std::fabs(e_) >= tolerance && std::fabs(fa_) > std::fabs(fb_)) {
      // Inverse quadratic interpolation, or the secant when two of the points coincide.
      double num, den;
      const double s = fb_ / fa_;
      if (a_.fy_norm == c_.fy_norm) {
        num = 2 * half * s;
        den = 1 - s;
      } else {
        const double q = fa_ / fc_, r = fb_ / fc_;
        num = s * (2 * half * q * (q - r) - (key(b_) - key(a_)) * (r - 1));
        den = (q - 1) * (r - 1) * (s - 1);
      }
      if (num > 0) {
        den = -den;
      } else {
        num = -num;
      }
      if (2 * num < std::min(3 * half * den - std::fabs(tolerance * den), std::fabs(e_ * den))) {
        e_ = d_;
        d_ = num / den;
      } else {
        d_ = half;
        e_ = d_;
      }
    } else {
      d_ = half;
      e_ = d_;
    }
    a_ = b_;
    fa_ = fb_;
    return std::exp(key(b_) + (std::fabs(d_) > tolerance ? d_ : std::copysign(tolerance, half)));
  }

  void take(const trial& t) {
    b_ = t;
    fb_ = value(b_);
    ++evaluations_;
    finished_ = fb_ == 0 || evaluations_ >= 100;
  }

  trial best() const { return std::fabs(fb_) <= std::fabs(fc_) ? b_ : c_; }
  int evaluations() const { return evaluations_; }

 private:
  double value(const trial& t) const { return t.mu - target_; }
  static double key(const trial& t) { return std::log(t.fy_norm); }

  double target_;
  trial a_, b_, c_;
  double fa_, fb_, fc_, d_, e_;
  int evaluations_ = 0;
  bool finished_ = false;
};

// The constant-ductility search of one period, one run at a time (see spectrum.h): request()
// names the strength of the run it needs next, or none when it is done; take() hands over that
// run's result.
class ductility_search {
 public:
  ductility_search(const period& p, std::span<const double> ductilities)
      : p_(p), targets_(ductilities.begin(), ductilities.end()), rows_(targets_.size()) {
    if (!p_.moves()) {
      for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i] = p_.missing(targets_[i], p_.still(), 1);
      return;
    }
    for (std::size_t i = 0; i < targets_.size(); ++i) {
      if (targets_[i] <= 1) {
        rows_[i] = p_.row(targets_[i], p_.elastic(), 1);
      } else {
        open_.push_back(i);
      }
    }
    previous_ = p_.elastic();
  }

  std::optional<double> request() {
    if (!asked_) asked_ = decide();
    return asked_;
  }

  void take(const run_result& r) {
    const trial t = p_.result(*asked_, r);
    asked_.reset();
    if (refining_) {
      refining_->take(t);
      return;
    }
    ++scan_runs_;
    current_ = t;
    for (auto it = open_.begin(); it != open_.end();) {
      if (t.mu >= targets_[*it]) {
        crossed_.push_back(*it);
        it = open_.erase(it);
      } else {
        ++it;
      }
    }
    if (crossed_.empty()) previous_ = current_;
  }

  const std::vector<ordinate>& rows() const { return rows_; }

 private:
  // The next strength to run, or none: the refinement under way, the next target crossed at the
  // last scan point, or the next scan point.
  std::optional<double> decide() {
    for (;;) {
      if (refining_) {
        if (const std::optional<double> f = refining_->next()) return f;
        rows_[refined_] =
            p_.row(targets_[refined_], refining_->best(), scan_runs_ + refining_->evaluations());
        refining_.reset();
        continue;
      }
      if (!crossed_.empty()) {
        refined_ = crossed_.front();
        crossed_.erase(crossed_.begin());
        refining_ = std::make_unique<brent>(previous_, current_, targets_[refined_]);
        if (crossed_.empty()) previous_ = current_;
        continue;
      }
      if (open_.empty()) return std::nullopt;
      double nearest = std::numeric_limits<double>::infinity();
      for (std::size_t i : open_) nearest = std::min(nearest, targets_[i]);
      const double step =
          std::clamp(std::log(nearest / previous_.mu) / 2, scan_steps.least, scan_steps.most);
      const double fy_norm = previous_.fy_norm * std::exp(-step);
      if (fy_norm >= scan_floor) return fy_norm;
      for (std::size_t i : open_) {
        rows_[i] = p_.missing(targets_[i],
                              "ductility " + number(targets_[i]) + " is not reached at period " +
                                  number(p_.t()) + " s: no strength down to " + number(scan_floor) +
                                  " f_0 gives it",
                              scan_runs_);
      }
      open_.clear();
    }
  }

  const period& p_;
  std::vector<double> targets_;
  std::vector<ordinate> rows_;
  std::vector<std::size_t> open_, crossed_;  // targets not yet bracketed; bracketed, not refined
  trial previous_, current_;                 // the last two scan points
  std::unique_ptr<brent> refining_;
  std::size_t refined_ = 0;
  int scan_runs_ = 1;  // the elastic run's and the scan's
  std::optional<double> asked_;
};

// Runs in vector lanes (grouped by their sub-steps), or one after the other; each result in
// its run, the runs in their order.
void run_all(std::span<const double> acceleration, observation mode, bool lanes,
             std::vector<lane_run>& runs) {
  if (!lanes) {
    for (lane_run& r : runs) {
      r.result = run(*r.s, acceleration, r.yield_deformation, mode, nullptr, r.from);
    }
    return;
  }
  // By sub-steps, and within them by the sample each run starts from: a vector runs from its
  // lanes' earliest start.
  std::vector<std::size_t> order(runs.size()), start(runs.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    order[i] = i;
    start[i] = runs[i].from ? steps::start_of(*runs[i].from, runs[i].yield_deformation) : 1;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (runs[a].s->substeps != runs[b].s->substeps)
      return runs[a].s->substeps > runs[b].s->substeps;
    return start[a] < start[b];
  });
  std::vector<lane_run> sorted;
  for (std::size_t i : order) sorted.push_back(runs[i]);
  for (std::size_t from = 0; from < sorted.size();) {
    std::size_t to = from;
    while (to < sorted.size() && sorted[to].s->substeps == sorted[from].s->substeps) ++to;
    run_in_lanes(acceleration, mode, std::span(sorted).subspan(from, to - from));
    from = to;
  }
  for (std::size_t k = 0; k < order.size(); ++k) runs[order[k]].result = sorted[k].result;
}

// Periods at a time per thread, at most: the vector lanes fill with runs of different
// periods, and the elastic histories of a chunk stay in memory together.
constexpr std::size_t chunk = 32;

// The rows of every period, each chunk's by work(periods of the chunk), the chunks spread over
// threads. A chunk takes every chunks-th period, so that the short periods (sub-steps, many
// events) are shared out.
template <class Work>
std::vector<ordinate> over_periods(std::span<const double> periods, std::size_t per_period,
                                   unsigned threads, const Work& work) {
  std::vector<ordinate> rows(periods.size() * per_period);
  const std::size_t chunks = std::max<std::size_t>((periods.size() + chunk - 1) / chunk,
                                                   std::min<std::size_t>(threads, periods.size()));
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (std::size_t c; (c = next.fetch_add(1)) < chunks;) {
      std::vector<double> some;
      for (std::size_t i = c; i < periods.size(); i += chunks) some.push_back(periods[i]);
      const std::vector<ordinate> got = work(std::span<const double>(some));
      for (std::size_t k = 0; k < some.size(); ++k) {
        std::copy_n(got.begin() + static_cast<std::ptrdiff_t>(k * per_period), per_period,
                    rows.begin() + static_cast<std::ptrdiff_t>((c + k * chunks) * per_period));
      }
    }
  };
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < std::min<std::size_t>(threads, chunks); ++t) {
    helpers.emplace_back(worker);
  }
  worker();
  for (std::thread& t : helpers) t.join();
  return rows;
}

std::vector<std::unique_ptr<period>> periods_of(std::span<const double> acceleration, double dt,
                                                std::span<const double> periods,
                                                const inelastic_settings& s) {
  std::vector<std::unique_ptr<period>> p;
  for (double t : periods) p.push_back(std::make_unique<period>(acceleration, dt, t, s));
  return p;
}

std::vector<ordinate> ductility_chunk(std::span<const double> acceleration, double dt,
                                      std::span<const double> periods,
                                      std::span<const double> ductilities,
                                      const inelastic_settings& s) {
  std::vector<ordinate> rows(periods.size() * ductilities.size());
  const auto p = periods_of(acceleration, dt, periods, s);
  std::vector<ductility_search> searches;
  for (const auto& one : p) searches.emplace_back(*one, ductilities);
  std::vector<std::size_t> ends(searches.size(), 0);  // where each search's last run settled
  for (;;) {
    // One round: the next run of every search that needs one.
    std::vector<lane_run> runs;
    std::vector<std::size_t> whose;
    for (std::size_t i = 0; i < searches.size(); ++i) {
      if (const std::optional<double> f = searches[i].request()) {
        runs.push_back(p[i]->run_at(*f));
        runs.back().expected_end = ends[i];
        whose.push_back(i);
      }
    }
    if (runs.empty()) break;
    run_all(acceleration, s.mode, s.lanes, runs);
    for (std::size_t j = 0; j < runs.size(); ++j) {
      searches[whose[j]].take(runs[j].result);
      ends[whose[j]] = runs[j].result.settled_at;
    }
  }
  for (std::size_t i = 0; i < searches.size(); ++i) {
    std::copy(searches[i].rows().begin(), searches[i].rows().end(),
              rows.begin() + static_cast<std::ptrdiff_t>(i * ductilities.size()));
  }
  return rows;
}

std::vector<ordinate> strength_chunk(std::span<const double> acceleration, double dt,
                                     std::span<const double> periods,
                                     std::span<const double> ratios, const inelastic_settings& s) {
  std::vector<ordinate> rows(periods.size() * ratios.size());
  const auto p = periods_of(acceleration, dt, periods, s);
  std::vector<lane_run> runs;
  for (const auto& one : p) {
    for (double r : ratios) {
      if (one->moves() && r != 1) runs.push_back(one->run_at(1 / r));
    }
  }
  run_all(acceleration, s.mode, s.lanes, runs);
  std::size_t next = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    for (std::size_t j = 0; j < ratios.size(); ++j) {
      ordinate& o = rows[i * ratios.size() + j];
      const double r = ratios[j];
      if (!p[i]->moves()) {
        o = p[i]->missing(r, p[i]->still(), 1);
        continue;
      }
      if (r == 1) {
        o = p[i]->row(r, p[i]->elastic(), 1);
      } else {
        o = p[i]->row(r, p[i]->result(1 / r, runs[next++].result), 2);
      }
      o.r_mu = r;
    }
  }
  return rows;
}

}  // namespace

std::vector<ordinate> constant_ductility_spectrum(std::span<const double> acceleration, double dt,
                                                  std::span<const double> periods,
                                                  std::span<const double> ductilities,
                                                  const inelastic_settings& s) {
  return over_periods(periods, ductilities.size(), s.threads, [&](std::span<const double> some) {
    return ductility_chunk(acceleration, dt, some, ductilities, s);
  });
}

std::vector<ordinate> constant_strength_spectrum(std::span<const double> acceleration, double dt,
                                                 std::span<const double> periods,
                                                 std::span<const double> strength_ratios,
                                                 const inelastic_settings& s) {
  return over_periods(periods, strength_ratios.size(), s.threads,
                      [&](std::span<const double> some) {
                        return strength_chunk(acceleration, dt, some, strength_ratios, s);
                      });
}

std::vector<ordinate> constant_ductility_at(std::span<const double> acceleration, double dt,
                                            double t, std::span<const double> ductilities,
                                            const inelastic_settings& s) {
  const double one[] = {t};
  return ductility_chunk(acceleration, dt, one, ductilities, s);
}

std::vector<ordinate> constant_strength_at(std::span<const double> acceleration, double dt,
                                           double t, std::span<const double> strength_ratios,
                                           const inelastic_settings& s) {
  const double one[] = {t};
  return strength_chunk(acceleration, dt, one, strength_ratios, s);
}

}  // namespace spectra::inelastic
