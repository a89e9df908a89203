#include "plot/figures.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>

#include "plot/scale.h"

namespace plot {
namespace {

// Line styles by damping: solid, dashed, dotted, dash-dot, long dash, dash-dot-dot, then again.
constexpr const char* dashes[] = {"", "8,4", "2,3", "9,3,2,3", "15,4", "9,3,2,3,2,3"};

// The colours of components: the palette without black, which RotD50 takes.
const char* component_colour(std::size_t i) {
  constexpr const char* colours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                     "#E69F00", "#56B4E9", "#999999"};
  return colours[i % 7];
}

std::string percent(double ratio) {
  char text[32];
  const auto r =
      std::to_chars(text, text + sizeof text, 100 * ratio, std::chars_format::general, 3);
  return std::string(text, r.ptr) + "%";
}

// A 1-2-5 value in plain decimals: 0.00005, 200.
std::string decimal_text(double v) {
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(v) + 1e-9)));
  char text[48];
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  return std::string(text, r.ptr);
}

// A number as the user gave it: the shortest text that reads back the same.
std::string plain(double v) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, v);
  return std::string(text, r.ptr);
}

std::string time_text(double t) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, t, std::chars_format::fixed, 2);
  return std::string(text, r.ptr) + " s";
}

bool is_zero(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double x) { return !(x != 0) || std::isnan(x); });
}

// "UD is zero: left out", "EW and UD are zero: left out".
std::string left_out_note(const std::vector<std::string>& names) {
  if (names.empty()) return {};
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += i + 1 == names.size() ? " and " : ", ";
    list += names[i];
  }
  return list + (names.size() == 1 ? " is zero" : " are zero") + " throughout: left out";
}

std::string missing_note(std::size_t missing) {
  if (missing == 0) return {};
  return std::to_string(missing) + (missing == 1 ? " value" : " values") +
         " did not fit their fields and are left out";
}

// The largest magnitude of a series and where it is (NaN where there is none).
struct peak {
  double x = NAN, value = NAN;
};
peak peak_of(const std::vector<double>& x, const std::vector<double>& y) {
  peak p;
  double most = -1;
  for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i) {
    if (std::isfinite(y[i]) && std::isfinite(x[i]) && std::fabs(y[i]) > most) {
      most = std::fabs(y[i]);
      p = {x[i], y[i]};
    }
  }
  return p;
}

double largest(const std::vector<const std::vector<double>*>& series) {
  double most = 0;
  for (const auto* s : series) {
    for (double v : *s) {
      if (std::isfinite(v)) most = std::max(most, std::fabs(v));
    }
  }
  return most;
}

// The 1-2-5 value at or below v, and the value of 1, 1.5, 2, 3, 5, 7 (times a power of ten) at
// or above it.
double round_down(double v) {
  const double decade = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {5.0, 2.0, 1.0}) {
    if (m * decade <= v * (1 + 1e-9)) return m * decade;
  }
  return decade;
}
double round_up(double v) {
  const double decade = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {1.0, 1.5, 2.0, 3.0, 5.0, 7.0}) {
    if (m * decade >= v * (1 - 1e-9)) return m * decade;
  }
  return 10 * decade;
}

// A log axis fitted to positive values: from a decade below the smallest value that matters
// (1% of the peak) to a margin above the peak.
void fit_log(axis& a, const std::vector<const std::vector<double>*>& series) {
  double high = 0, low = INFINITY;
  for (const auto* s : series) {
    for (double v : *s) {
      if (std::isfinite(v) && v > 0) {
        high = std::max(high, v);
        low = std::min(low, v);
      }
    }
  }
  if (!(high > 0)) return;
  a.low = round_down(std::max(low, high / 100) / 10);
  a.high = round_up(high * 1.15);
}

void fit_linear(axis& a, const std::vector<const std::vector<double>*>& series) {
  const double high = largest(series);
  if (!(high > 0)) return;
  const range r = nice_range(0, high * 1.08, false);
  a.low = 0;
  a.high = r.high;
}

// A symmetric linear axis with room above and below the peak for its label.
void fit_symmetric(axis& a, double peak_magnitude) {
  if (!(peak_magnitude > 0)) return;
  a.low = -1.4 * peak_magnitude;
  a.high = 1.4 * peak_magnitude;
}

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

// Ground velocity, record units
struct unit_names {
  std::string acceleration, velocity, displacement, energy;
  double velocity_factor = 1, energy_factor = 1;  // what the file's values are multiplied by
};

unit_names units_of(const std::optional<base::acceleration_unit>& unit) {
  if (!unit) return {"record units", "record units", "record units", "record units"};
  switch (*unit) {
    case base::acceleration_unit::g:
      // g s and g s2 read as nothing: velocities and what follows go to cm.
      return {"g",
              "cm/s",
              "cm",
              "cm²/s²",
              base::standard_gravity,
              base::standard_gravity * base::standard_gravity};
    case base::acceleration_unit::gal:
      return {"cm/s²", "cm/s", "cm", "cm²/s²"};
    case base::acceleration_unit::m_per_s2:
      return {"m/s²", "m/s", "m", "m²/s²"};
  }
  return {};
}

std::vector<double> scaled(std::vector<double> v, double factor) {
  if (factor != 1) {
    for (double& x : v) x *= factor;
  }
  return v;
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
    parts.push_back("record in g: velocities and displacements in cm/s and cm");
  }
  if (oscillator && (std::isnan(l.period) || std::isnan(l.damping))) {
    parts.push_back("oscillator not named (no --period, --damping)");
  }
  std::string s;
  for (const std::string& part : parts) s += (s.empty() ? "" : "; ") + part;
  if (!s.empty()) s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
  return s;
}

// A mark at a series' peak, labelled with its name, value and time.
void mark_peak(panel& p, const std::vector<double>& x, const std::vector<double>& y,
               std::string_view name, std::string_view unit, const std::string& colour) {
  const peak k = peak_of(x, y);
  if (std::isnan(k.value)) return;
  // Without a unit the axis says "record units"; the label stays short.
  const std::string value =
      value_text(k.value) + (unit == "record units" ? "" : " " + std::string(unit));
  p.marks.push_back(
      {k.x, k.value, std::string(name) + " " + value + " at " + time_text(k.x), colour});
}

// Time from the first sample to the last, on every panel of a figure.
void time_axis(figure& f, const std::vector<double>& time) {
  double end = 0;
  for (double t : time) {
    if (std::isfinite(t)) end = std::max(end, t);
  }
  for (panel& p : f.panels) {
    p.x.low = time.empty() || !std::isfinite(time[0]) ? 0.0 : time[0];
    if (end > p.x.low) p.x.high = end;
  }
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
  p.areas.push_back({"Kinetic", time, strain, total, "#0072B2"});
  p.areas.push_back({"Strain", time, damping, strain, "#E69F00"});
  p.areas.push_back({"Damping", time, zero, damping, "#009E73"});
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

// The time at which h first reaches p, linear between samples.
double crossing(const std::vector<double>& h, double p, double dt) {
  for (std::size_t i = 0; i < h.size(); ++i) {
    if (h[i] >= p) {
      if (i == 0) return 0;
      const double rise = h[i] - h[i - 1];
      const double fraction = rise > 0 ? (p - h[i - 1]) / rise : 0;
      return (static_cast<double>(i - 1) + fraction) * dt;
    }
  }
  return NAN;
}

}  // namespace

std::string value_text(double value) {
  if (value == 0 || !std::isfinite(value)) return value == 0 ? "0" : "-";
  const double magnitude = std::fabs(value);
  char text[32];
  std::to_chars_result r;
  if (magnitude >= 1e-3 && magnitude < 1e5) {
    const int decimals = std::max(0, 2 - static_cast<int>(std::floor(std::log10(magnitude))));
    r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  } else {
    r = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 2);
  }
  return std::string(text, r.ptr);
}

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

figure record_figure(const record_histories& r) {
  figure f;
  f.title = "Record: " + r.title;
  f.shared_x = true;
  f.panel_height = 76;
  std::vector<const record_trace*> shown;
  std::vector<std::string> zero;
  for (const record_trace& c : r.components) {
    (is_zero(c.acceleration) ? zero.push_back(c.name) : shown.push_back(&c));
  }
  // One scale per quantity: the components compare at a glance.
  struct quantity {
    const char* name;
    const char* peak;
    std::vector<double> record_trace::*values;
    const std::string& unit;
  };
  const quantity quantities[] = {
      {"Acc.", "PGA", &record_trace::acceleration, r.acceleration_unit},
      {"Vel.", "PGV", &record_trace::velocity, r.velocity_unit},
      {"Disp.", "PGD", &record_trace::displacement, r.displacement_unit}};
  double most[3] = {0, 0, 0};
  for (const record_trace* c : shown) {
    for (int q = 0; q < 3; ++q) most[q] = std::max(most[q], largest({&(c->*quantities[q].values)}));
  }
  std::size_t samples = 0;
  for (const record_trace* c : shown) samples = std::max(samples, c->acceleration.size());
  std::vector<double> time(samples);
  for (std::size_t i = 0; i < samples; ++i) time[i] = static_cast<double>(i) * r.dt;
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const record_trace& c = *shown[k];
    const std::string hue = component_colour(k);
    for (int q = 0; q < 3; ++q) {
      const std::vector<double>& v = c.*quantities[q].values;
      panel p;
      if (q == 0) p.title = c.name;
      p.x.title = "Time (s)";
      p.y.title = std::string(quantities[q].name) + " (" + quantities[q].unit + ")";
      std::vector<double> t(time.begin(),
                            time.begin() + static_cast<long>(std::min(v.size(), time.size())));
      p.lines.push_back({.label = {}, .x = t, .y = v, .colour = hue, .width = 1.1});
      fit_symmetric(p.y, most[q]);
      mark_peak(p, t, v, quantities[q].peak, quantities[q].unit, "#000000");
      f.panels.push_back(std::move(p));
    }
  }
  panel h;
  h.title = "Husid curve: the Arias intensity reached, and the significant durations";
  h.x.title = "Time (s)";
  h.y = {"Arias intensity (%)", false, 0, 100};
  h.height = 170;
  for (const double level : {5.0, 75.0, 95.0}) {
    h.guides.push_back({0, level, samples > 0 ? time.back() : 1, level, plain(level) + "%"});
  }
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const record_trace& c = *shown[k];
    if (c.husid.empty()) continue;
    const std::string hue = component_colour(k);
    std::vector<double> t(time.begin(),
                          time.begin() + static_cast<long>(std::min(c.husid.size(), time.size())));
    h.lines.push_back(
        {.label = {}, .x = t, .y = scaled(c.husid, 100), .colour = hue, .width = 1.6});
    const double t5 = crossing(c.husid, 0.05, r.dt), t75 = crossing(c.husid, 0.75, r.dt),
                 t95 = crossing(c.husid, 0.95, r.dt);
    for (const auto& [level, at] : {std::pair{5.0, t5}, {75.0, t75}, {95.0, t95}}) {
      if (!std::isnan(at)) h.marks.push_back({at, level, {}, hue});
    }
    std::string durations = c.name;
    if (!std::isnan(t75)) durations += ": D5-75 " + time_text(t75 - t5);
    if (!std::isnan(t95)) durations += ", D5-95 " + time_text(t95 - t5);
    if (!std::isnan(t5)) durations += " from " + time_text(t5);
    h.legend.push_back({.label = durations, .colour = hue, .width = 1.6});
  }
  h.legend_inside = true;
  if (!h.lines.empty()) f.panels.push_back(std::move(h));
  time_axis(f, time);
  if (const std::string note = left_out_note(zero); !note.empty()) f.notes.push_back(note);
  return f;
}

}  // namespace plot
