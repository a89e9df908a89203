// The record as a picture: acceleration, velocity and displacement per component, the Husid
// curves and the significant durations.
#include <algorithm>
#include <cmath>

#include "plot/figure_parts.h"
#include "plot/figures.h"

namespace plot {
namespace {

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
  // A component's colour is its place among all of them, as on the spectra.
  const auto hue_of = [&](const record_trace& c) {
    return std::string(component_colour(static_cast<std::size_t>(&c - r.components.data())));
  };
  for (const record_trace* shown_trace : shown) {
    const record_trace& c = *shown_trace;
    const std::string hue = hue_of(c);
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
  for (const record_trace* shown_trace : shown) {
    const record_trace& c = *shown_trace;
    if (c.husid.empty()) continue;
    const std::string hue = hue_of(c);
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
