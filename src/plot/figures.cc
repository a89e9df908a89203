#include "plot/figures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "plot/scale.h"
#include "base/physics.h"

namespace plot {
namespace {

std::string missing_note(std::size_t missing) {
  if (missing == 0) return {};
  return std::to_string(missing) + (missing == 1 ? " value" : " values") +
         " did not fit their fields and are left out";
}

figure ground_velocity(const output_table& t, std::string_view name) {
  figure f;
  f.title = "Ground velocity, " + std::string(name);
  f.shared_x = true;
  f.panel_height = 170;
  for (std::size_t k = 1; k <= 3; ++k) {
    panel p;
    p.title = "Component " + std::to_string(k);
    p.x.title = "Time (s)";
    p.y.title = "Velocity";
    p.lines.push_back({"vel" + std::to_string(k), t.columns[0], t.columns[k], colour(k - 1), 1.3});
    f.panels.push_back(std::move(p));
  }
  f.panels.back().note = missing_note(t.missing);
  return f;
}

figure energy(const output_table& t, std::string_view name) {
  figure f;
  f.title = "Energy balance, " + std::string(name);
  f.panel_height = 300;
  panel p;
  p.x.title = "Time (s)";
  p.y.title = "Energy per unit mass";
  // The damping energy only grows: it is the floor; strain and kinetic energy swing above it.
  const std::vector<double>& time = t.columns[0];
  std::vector<double> zero(time.size(), 0.0), damping = t.columns[3], strain(time.size()),
                                              total(time.size());
  for (std::size_t i = 0; i < time.size(); ++i) {
    strain[i] = damping[i] + t.columns[2][i];
    total[i] = strain[i] + t.columns[1][i];
  }
  p.areas.push_back({"Kinetic", time, strain, total, "#0072B2"});
  p.areas.push_back({"Strain", time, damping, strain, "#E69F00"});
  p.areas.push_back({"Damping", time, zero, damping, "#009E73"});
  p.lines.push_back({"Input", time, t.columns[4], "#000000", 1.8});
  p.note = missing_note(t.missing);
  f.panels.push_back(std::move(p));
  return f;
}

figure response(const output_table& t, std::string_view name) {
  figure f;
  f.title = "Response, " + std::string(name);
  f.shared_x = true;
  f.panel_height = 140;
  const std::vector<double>& time = t.columns[0];
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t c = 1 + 4 * k;
    panel a;
    a.title = "Component " + std::to_string(k + 1) + ": acceleration";
    a.x.title = "Time (s)";
    a.y.title = "Acceleration";
    a.lines.push_back({"Input", time, t.columns[c], "#999999", 1.1});
    a.lines.push_back({"Absolute", time, t.columns[c + 1], "#D55E00", 1.3});
    panel d;
    d.title = "Component " + std::to_string(k + 1) + ": relative displacement";
    d.x.title = "Time (s)";
    d.y.title = "Displacement";
    d.lines.push_back({"Relative", time, t.columns[c + 3], "#0072B2", 1.3});
    f.panels.push_back(std::move(a));
    f.panels.push_back(std::move(d));
  }
  f.panels.back().note = missing_note(t.missing);
  return f;
}

}  // namespace

figure history_figure(const output_table& t, std::string_view name) {
  switch (t.kind) {
    case file_kind::ground_velocity:
      return ground_velocity(t, name);
    case file_kind::energy:
      return energy(t, name);
    case file_kind::response_wave:
      return response(t, name);
  }
  return {};
}

figure spectrum_figure(std::string_view record, const std::vector<spectrum_curve>& curves) {
  figure f;
  f.title = "Response spectrum, " + std::string(record);
  f.panel_height = 300;
  panel p;
  p.x = {"Period (s)", true};
  p.y = {"Pseudo-spectral acceleration PSa (g)", true};
  bool energies = false;
  std::size_t i = 0;
  for (const spectrum_curve& c : curves) {
    p.lines.push_back(
        {c.label, c.periods, c.psa, c.heavy ? "#000000" : colour(i++), c.heavy ? 3.0 : 1.6});
    energies = energies || !c.relative_energy.empty();
  }
  f.panels.push_back(std::move(p));
  if (energies) {
    panel e;
    e.title = "Input energy, as the velocity sqrt(2E)";
    e.x = {"Period (s)", true};
    e.y = {"Equivalent velocity (cm/s)", true};
    i = 0;
    for (const spectrum_curve& c : curves) {
      if (c.relative_energy.empty()) continue;
      const char* hue = colour(i++);
      e.lines.push_back({c.label + ", relative", c.periods, c.relative_energy, hue, 1.6});
      e.lines.push_back({c.label + ", absolute", c.periods, c.absolute_energy, hue, 1.6, true});
    }
    f.panels.push_back(std::move(e));
  }
  return f;
}

figure tripartite_figure(std::string_view record, const std::vector<spectrum_curve>& curves) {
  figure f;
  f.title = "Tripartite spectrum, " + std::string(record);
  f.panel_height = 440;
  f.width = 860;
  panel p;
  p.x = {"Period (s)", true};
  p.y = {"Pseudo-spectral velocity PSv (cm/s)", true};
  double t_low = INFINITY, t_high = 0;
  std::size_t i = 0;
  for (const spectrum_curve& c : curves) {
    p.lines.push_back(
        {c.label, c.periods, c.psv, c.heavy ? "#000000" : colour(i++), c.heavy ? 3.0 : 1.6});
    for (double t : c.periods) {
      t_low = std::min(t_low, t);
      t_high = std::max(t_high, t);
    }
  }
  if (t_low < t_high) {
    // Wide enough to cross the whole panel whatever its vertical range.
    const double a = t_low / 10, b = t_high * 10;
    for (int e = -4; e <= 4; ++e) {
      const double sd = std::pow(10.0, e);  // cm: PSv = 2 pi Sd / T
      p.guides.push_back({a, 2 * std::numbers::pi * sd / a, b, 2 * std::numbers::pi * sd / b,
                          "Sd " + tick_label(sd) + " cm"});
      const double psa = std::pow(10.0, e);  // g: PSv = PSa g T / (2 pi)
      p.guides.push_back({a, psa * base::standard_gravity * a / (2 * std::numbers::pi), b,
                          psa * base::standard_gravity * b / (2 * std::numbers::pi),
                          "PSa " + tick_label(psa) + " g"});
    }
  }
  f.panels.push_back(std::move(p));
  return f;
}

}  // namespace plot
