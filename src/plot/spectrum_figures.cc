// Spectra as pictures: PSa against period (log-log or linear) and the tripartite plot.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "plot/figure_parts.h"
#include "plot/figures.h"

namespace plot {
namespace {

std::pair<double, double> period_span(const std::vector<spectrum_curve>& curves, bool log) {
  double low = INFINITY, high = -INFINITY;
  for (const spectrum_curve& c : curves) {
    for (double t : c.periods) {
      if (!std::isfinite(t) || (log && !(t > 0))) continue;
      low = std::min(low, t);
      high = std::max(high, t);
    }
  }
  return {low, high};
}

// The colours, widths and line styles of a set of spectrum curves, and their legend.
struct spectrum_styles {
  std::vector<std::string> components;
  std::vector<bool> heavy;
  std::vector<double> dampings;  // ascending
  double reference = 0.05;       // 5% where there is one, else the least: solid
  std::vector<std::string> left_out;

  explicit spectrum_styles(const std::vector<spectrum_curve>& curves) {
    for (const spectrum_curve& c : curves) {
      if (std::find(components.begin(), components.end(), c.component) == components.end()) {
        components.push_back(c.component);
        heavy.push_back(c.heavy);
      }
      if (std::find(dampings.begin(), dampings.end(), c.damping) == dampings.end()) {
        dampings.push_back(c.damping);
      }
    }
    std::sort(dampings.begin(), dampings.end());
    const bool five = std::any_of(dampings.begin(), dampings.end(),
                                  [](double h) { return std::fabs(h - 0.05) < 1e-9; });
    if (!dampings.empty() && !five) reference = dampings.front();
    // A component whose every curve is zero has nothing to show.
    for (const std::string& name : components) {
      bool zero = true;
      for (const spectrum_curve& c : curves) {
        if (c.component == name) zero = zero && is_zero(c.psa) && is_zero(c.sd);
      }
      if (zero) left_out.push_back(name);
    }
  }
  bool shown(const spectrum_curve& c) const {
    return std::find(left_out.begin(), left_out.end(), c.component) == left_out.end();
  }
  bool is_reference(double damping) const { return std::fabs(damping - reference) < 1e-9; }
  std::size_t index(const std::string& component) const {
    return static_cast<std::size_t>(std::find(components.begin(), components.end(), component) -
                                    components.begin());
  }
  std::string colour(const std::string& component) const {
    const std::size_t k = index(component);
    std::size_t light = 0, dark = 0;
    for (std::size_t i = 0; i < k; ++i) (heavy[i] ? dark : light) += 1;
    if (heavy[k]) return dark == 0 ? "#000000" : "#666666";
    return component_colour(light);
  }
  double width(const std::string& component) const { return heavy[index(component)] ? 2.8 : 1.6; }
  std::string dash(double damping) const {
    if (is_reference(damping)) return dashes[0];
    std::size_t k = 1;
    for (double h : dampings) {
      if (h == damping) break;
      if (!is_reference(h)) ++k;
    }
    return dashes[k % (sizeof dashes / sizeof dashes[0])];
  }
  line_series line(const spectrum_curve& c, const std::vector<double>& y) const {
    return {.label = {},
            .x = c.periods,
            .y = y,
            .colour = colour(c.component),
            .width = width(c.component),
            .dash = dash(c.damping)};
  }
  // Components by colour, dampings by line style; without energies, only those that have them.
  std::vector<legend_entry> legend(const std::vector<spectrum_curve>& curves,
                                   bool energies = false) const {
    std::vector<legend_entry> out;
    out.push_back({.label = "Component", .kind = legend_entry::heading});
    for (const std::string& name : components) {
      if (std::find(left_out.begin(), left_out.end(), name) != left_out.end()) continue;
      if (energies && std::none_of(curves.begin(), curves.end(), [&](const spectrum_curve& c) {
            return c.component == name && !c.relative_energy.empty();
          }))
        continue;
      out.push_back({.label = name, .colour = colour(name), .width = width(name)});
    }
    out.push_back({.label = "Damping", .kind = legend_entry::heading});
    for (double h : dampings) {
      out.push_back({.label = percent(h), .colour = "#333333", .width = 1.6, .dash = dash(h)});
    }
    return out;
  }
};

}  // namespace

figure spectrum_figure(std::string_view title, const std::vector<spectrum_curve>& curves,
                       spectrum_scale scale) {
  const bool log = scale == spectrum_scale::logarithmic;
  const spectrum_styles styles(curves);
  figure f;
  f.title = "Response spectrum: " + std::string(title);
  f.panel_height = 220;
  panel p;
  p.height = 340;
  p.x = {"Period T (s)", log};
  p.y = {"Pseudo-spectral acceleration PSa (g)", log};
  const auto [t_low, t_high] = period_span(curves, log);
  if (t_low < t_high) {
    p.x.low = log ? t_low : 0;
    p.x.high = t_high;
  }
  std::vector<const std::vector<double>*> psa;
  bool energies = false;
  for (const spectrum_curve& c : curves) {
    if (!styles.shown(c)) continue;
    p.lines.push_back(styles.line(c, c.psa));
    psa.push_back(&c.psa);
    energies = energies || !c.relative_energy.empty();
  }
  log ? fit_log(p.y, psa) : fit_linear(p.y, psa);
  p.legend = styles.legend(curves);
  // The peaks at the reference damping: marked, the highest labelled, all in the legend.
  p.legend.push_back(
      {.label = "Peak PSa, " + percent(styles.reference), .kind = legend_entry::heading});
  peak highest;
  std::string highest_component;
  for (const spectrum_curve& c : curves) {
    if (!styles.shown(c) || !styles.is_reference(c.damping)) continue;
    const peak k = peak_of(c.periods, c.psa);
    if (std::isnan(k.value)) continue;
    p.marks.push_back({k.x, k.value, {}, styles.colour(c.component)});
    p.legend.push_back(
        {.label = c.component + ": " + value_text(k.value) + " g at " + time_text(k.x),
         .kind = legend_entry::marker,
         .colour = styles.colour(c.component),
         .width = styles.width(c.component)});
    if (std::isnan(highest.value) || k.value > highest.value) {
      highest = k;
      highest_component = c.component;
    }
  }
  if (!std::isnan(highest.value)) {
    for (mark& m : p.marks) {
      if (m.x == highest.x && m.y == highest.value) {
        m.label =
            highest_component + ": " + value_text(highest.value) + " g at " + time_text(highest.x);
        break;
      }
    }
  }
  f.panels.push_back(std::move(p));
  if (energies) {
    for (const bool absolute : {false, true}) {
      panel e;
      e.title = absolute ? "Absolute input energy, as the velocity √(2E/m)"
                         : "Relative input energy, as the velocity √(2E/m)";
      e.x = f.panels.front().x;
      e.y = {"Equivalent velocity (cm/s)", log};
      std::vector<const std::vector<double>*> values;
      for (const spectrum_curve& c : curves) {
        if (c.relative_energy.empty() || !styles.shown(c)) continue;
        const std::vector<double>& v = absolute ? c.absolute_energy : c.relative_energy;
        e.lines.push_back(styles.line(c, v));
        values.push_back(&v);
      }
      log ? fit_log(e.y, values) : fit_linear(e.y, values);
      e.legend = styles.legend(curves, true);
      f.panels.push_back(std::move(e));
    }
  }
  if (const std::string note = left_out_note(styles.left_out); !note.empty()) {
    f.notes.push_back(note);
  }
  return f;
}

figure tripartite_figure(std::string_view title, const std::vector<spectrum_curve>& curves) {
  const spectrum_styles styles(curves);
  figure f;
  f.title = "Tripartite spectrum: " + std::string(title);
  f.panel_height = 470;
  panel p;
  p.x = {"Period T (s)", true};
  p.y = {"Pseudo-spectral velocity PSv (cm/s)", true};
  std::vector<const std::vector<double>*> psv;
  for (const spectrum_curve& c : curves) {
    if (!styles.shown(c)) continue;
    p.lines.push_back(styles.line(c, c.psv));
    psv.push_back(&c.psv);
  }
  fit_log(p.y, psv);
  const auto [t_low, t_high] = period_span(curves, true);
  if (t_low < t_high && !std::isnan(p.y.low)) {
    p.x.low = t_low;
    p.x.high = t_high;
    // Lines at 1, 2 and 5 of each decade that crosses the panel; beyond it by a decade each
    // way so that they cross the whole panel.
    const double a = t_low / 10, b = t_high * 10, two_pi = 2 * std::numbers::pi;
    const double g = base::standard_gravity;
    const auto guides_of = [&](double least, double most, auto&& psv_at, const char* unit) {
      for (int e = static_cast<int>(std::floor(std::log10(least))) - 1;
           e <= static_cast<int>(std::ceil(std::log10(most))) + 1; ++e) {
        for (const double m : {1.0, 2.0, 5.0}) {
          const double v = m * std::pow(10.0, e);
          p.guides.push_back(
              {a, psv_at(v, a), b, psv_at(v, b), decimal_text(v) + " " + unit, m != 1.0});
        }
      }
    };
    // PSv = 2 pi Sd / T; PSv = PSa g T / (2 pi).
    guides_of(
        p.y.low * t_low / two_pi, p.y.high * t_high / two_pi,
        [&](double sd, double t) { return two_pi * sd / t; }, "cm");
    guides_of(
        p.y.low * two_pi / (g * t_high), p.y.high * two_pi / (g * t_low),
        [&](double psa, double t) { return psa * g * t / two_pi; }, "g");
  }
  p.legend = styles.legend(curves);
  p.legend.push_back({.label = "Diagonals", .kind = legend_entry::heading});
  p.legend.push_back({.label = "falling: Sd (cm)", .kind = legend_entry::text});
  p.legend.push_back({.label = "rising: PSa (g)", .kind = legend_entry::text});
  f.panels.push_back(std::move(p));
  if (const std::string note = left_out_note(styles.left_out); !note.empty()) {
    f.notes.push_back(note);
  }
  return f;
}

}  // namespace plot
