// sdofresp's files as pictures: ground velocities, the energy balance, the oscillator's response.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "plot/figure_parts.h"
#include "plot/figures.h"

namespace plot {
namespace {

// The units of sdofresp's columns, from the unit of the record's accelerations.
struct unit_names {
  std::string acceleration, velocity, displacement, energy;
  double velocity_factor = 1, energy_factor = 1;  // what the file's values are multiplied by
};

unit_names units_of(const std::optional<base::acceleration_unit>& unit) {
  const std::string unknown = "record units";
  if (!unit) {
    return {
        .acceleration = unknown, .velocity = unknown, .displacement = unknown, .energy = unknown};
  }
  switch (*unit) {
    case base::acceleration_unit::g:
      // g s and g s2 read as nothing to an engineer: velocities and what follows go to cm.
      return {.acceleration = "g",
              .velocity = "cm/s",
              .displacement = "cm",
              .energy = "cm²/s²",
              .velocity_factor = base::standard_gravity,
              .energy_factor = base::standard_gravity * base::standard_gravity};
    case base::acceleration_unit::gal:
      return {
          .acceleration = "cm/s²", .velocity = "cm/s", .displacement = "cm", .energy = "cm²/s²"};
    case base::acceleration_unit::m_per_s2:
      return {.acceleration = "m/s²", .velocity = "m/s", .displacement = "m", .energy = "m²/s²"};
  }
  return {};
}

std::string oscillator_text(const history_labels& l) {
  std::string s;
  if (!std::isnan(l.period)) s += "T = " + plain(l.period) + " s";
  if (!std::isnan(l.damping)) s += (s.empty() ? "" : ", ") + percent(l.damping) + " damping";
  return s;
}

std::string record_name(const history_labels& l) {
  return l.record.empty() ? l.file : l.record;
}

std::string history_subtitle(const history_labels& l, bool oscillator) {
  std::vector<std::string> parts;
  if (!l.record.empty()) parts.push_back("From " + l.file);
  if (!l.units) {
    parts.push_back("values in record units (no --units)");
  } else if (*l.units == base::acceleration_unit::g) {
    parts.push_back("record in g: velocities, displacements and energies in cm");
  }
  if (oscillator && (std::isnan(l.period) || std::isnan(l.damping))) {
    parts.push_back("oscillator not named (no --period, --damping)");
  }
  std::string s;
  for (const std::string& part : parts) s += (s.empty() ? "" : "; ") + part;
  if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  return s;
}

figure ground_velocity(const output_table& t, const history_labels& labels) {
  const unit_names units = units_of(labels.units);
  figure f;
  f.title = "Ground velocity: " + record_name(labels);
  f.subtitle = history_subtitle(labels, false);
  f.shared_x = true;
  f.panel_height = 150;
  std::vector<std::string> zero;
  for (std::size_t k = 1; k <= 3; ++k) {
    const std::string name = "component " + std::to_string(k);
    if (is_zero(t.columns[k])) {
      zero.push_back(name);
      continue;
    }
    panel p;
    p.title = "Component " + std::to_string(k);
    p.x.title = "Time (s)";
    p.y.title = "Velocity (" + units.velocity + ")";
    const std::vector<double> v = scaled(t.columns[k], units.velocity_factor);
    p.lines.push_back(
        {.label = {}, .x = t.columns[0], .y = v, .colour = colour(k - 1), .width = 1.3});
    fit_symmetric(p.y, std::fabs(peak_of(t.columns[0], v).value));
    mark_peak(p, t.columns[0], v, "PGV", units.velocity, "#000000");
    f.panels.push_back(std::move(p));
  }
  time_axis(f, t.columns[0]);
  if (const std::string note = left_out_note(zero); !note.empty()) f.notes.push_back(note);
  if (const std::string note = missing_note(t.missing); !note.empty()) f.notes.push_back(note);
  return f;
}

// The component k of Energy-Density-wave<k>.csv, or empty.
std::string energy_component(const std::string& file) {
  const std::string stem = "Energy-Density-wave";
  const std::size_t at = file.rfind(stem);
  if (at == std::string::npos) return {};
  std::string k;
  for (std::size_t i = at + stem.size(); i < file.size() && file[i] >= '0' && file[i] <= '9'; ++i)
    k += file[i];
  return k;
}

figure energy(const output_table& t, const history_labels& labels) {
  const unit_names units = units_of(labels.units);
  figure f;
  const std::string k = energy_component(labels.file);
  const std::string oscillator = oscillator_text(labels);
  f.title = "Energy balance" + (k.empty() ? "" : ", component " + k) +
            (oscillator.empty() ? "" : ", " + oscillator) + ": " + record_name(labels);
  f.subtitle = history_subtitle(labels, true);
  f.panel_height = 300;
  panel p;
  p.x.title = "Time (s)";
  p.y.title = "Energy per unit mass (" + units.energy + ")";
  // The damping energy only grows: it is the floor; strain and kinetic energy swing above it.
  const std::vector<double>& time = t.columns[0];
  const std::vector<double> kinetic = scaled(t.columns[1], units.energy_factor),
                            strain_energy = scaled(t.columns[2], units.energy_factor),
                            damping = scaled(t.columns[3], units.energy_factor),
                            input = scaled(t.columns[4], units.energy_factor);
  std::vector<double> zero(time.size(), 0.0), strain(time.size()), total(time.size());
  for (std::size_t i = 0; i < time.size(); ++i) {
    strain[i] = damping[i] + strain_energy[i];
    total[i] = strain[i] + kinetic[i];
  }
  p.areas.push_back(
      {.label = "Kinetic", .x = time, .lower = strain, .upper = total, .colour = "#0072B2"});
  p.areas.push_back(
      {.label = "Strain", .x = time, .lower = damping, .upper = strain, .colour = "#E69F00"});
  p.areas.push_back(
      {.label = "Damping", .x = time, .lower = zero, .upper = damping, .colour = "#009E73"});
  p.lines.push_back({.label = "Input", .x = time, .y = input, .colour = "#000000", .width = 1.8});
  p.legend = {{.label = "Input", .colour = "#000000", .width = 1.8},
              {.label = "Kinetic", .kind = legend_entry::area, .colour = "#0072B2"},
              {.label = "Strain", .kind = legend_entry::area, .colour = "#E69F00"},
              {.label = "Damping", .kind = legend_entry::area, .colour = "#009E73"}};
  const peak top = peak_of(time, input);
  if (!std::isnan(top.value)) {
    p.legend.push_back({.label = "Largest input", .kind = legend_entry::heading});
    p.legend.push_back(
        {.label = value_text(top.value) + " " + units.energy, .kind = legend_entry::text});
    p.legend.push_back({.label = "at " + time_text(top.x), .kind = legend_entry::text});
  }
  f.panels.push_back(std::move(p));
  time_axis(f, time);
  if (is_zero(t.columns[4]) && is_zero(t.columns[1])) {
    f.notes.push_back("The energies are zero throughout: the component is zero");
  }
  if (const std::string note = missing_note(t.missing); !note.empty()) f.notes.push_back(note);
  return f;
}

figure response(const output_table& t, const history_labels& labels) {
  const unit_names units = units_of(labels.units);
  figure f;
  const std::string oscillator = oscillator_text(labels);
  f.title = "Oscillator response" + (oscillator.empty() ? "" : ", " + oscillator) + ": " +
            record_name(labels);
  f.subtitle = history_subtitle(labels, true);
  f.shared_x = true;
  f.panel_height = 120;
  const std::vector<double>& time = t.columns[0];
  std::vector<std::string> zero;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t c = 1 + 4 * k;
    const std::string name = "component " + std::to_string(k + 1);
    if (is_zero(t.columns[c])) {
      zero.push_back(name);
      continue;
    }
    panel a;
    a.title = "Component " + std::to_string(k + 1);
    a.x.title = "Time (s)";
    a.y.title = "Acc. (" + units.acceleration + ")";
    a.lines.push_back(
        {.label = {}, .x = time, .y = t.columns[c], .colour = "#999999", .width = 1.1});
    a.lines.push_back(
        {.label = {}, .x = time, .y = t.columns[c + 1], .colour = "#D55E00", .width = 1.3});
    a.legend = {{.label = "Ground", .colour = "#999999", .width = 1.1},
                {.label = "Absolute", .colour = "#D55E00", .width = 1.3}};
    fit_symmetric(a.y, std::max(std::fabs(peak_of(time, t.columns[c]).value),
                                std::fabs(peak_of(time, t.columns[c + 1]).value)));
    mark_peak(a, time, t.columns[c], "PGA", units.acceleration, "#666666");
    mark_peak(a, time, t.columns[c + 1], "Sa", units.acceleration, "#D55E00");
    panel d;
    d.x.title = "Time (s)";
    d.y.title = "Disp. (" + units.displacement + ")";
    const std::vector<double> displacement = scaled(t.columns[c + 3], units.velocity_factor);
    d.lines.push_back(
        {.label = {}, .x = time, .y = displacement, .colour = "#0072B2", .width = 1.3});
    d.legend = {{.label = "Relative", .colour = "#0072B2", .width = 1.3}};
    fit_symmetric(d.y, std::fabs(peak_of(time, displacement).value));
    mark_peak(d, time, displacement, "Sd", units.displacement, "#0072B2");
    a.legend_inside = d.legend_inside = true;
    f.panels.push_back(std::move(a));
    f.panels.push_back(std::move(d));
  }
  time_axis(f, time);
  if (const std::string note = left_out_note(zero); !note.empty()) f.notes.push_back(note);
  if (const std::string note = missing_note(t.missing); !note.empty()) f.notes.push_back(note);
  return f;
}

}  // namespace

figure history_figure(const output_table& t, const history_labels& labels) {
  switch (t.kind) {
    case file_kind::ground_velocity:
      return ground_velocity(t, labels);
    case file_kind::energy:
      return energy(t, labels);
    case file_kind::response_wave:
      return response(t, labels);
  }
  return {};
}

}  // namespace plot
