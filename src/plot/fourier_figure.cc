#include "plot/fourier_figure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/reduce.h"

namespace plot {
namespace {

// The colour mixed two parts in three with white: the raw spectrum under its smoothed one.
std::string light(const std::string& colour) {
  unsigned r = 0, g = 0, b = 0;
  if (std::sscanf(colour.c_str(), "#%2x%2x%2x", &r, &g, &b) != 3) return "#cccccc";
  char out[32];
  std::snprintf(out, sizeof out, "#%02x%02x%02x", (r + 2 * 255) / 3, (g + 2 * 255) / 3,
                (b + 2 * 255) / 3);
  return out;
}

double decade_below(double v) {
  return std::pow(10.0, std::floor(std::log10(v)));
}
double decade_above(double v) {
  return std::pow(10.0, std::ceil(std::log10(v)));
}

// The bins a picture can show of a long raw spectrum: the chart reduces a series in columns
// of even width in x, which on a log axis would leave the low frequencies a few points; here
// the columns are even in log f, and the chart then takes the series whole.
line_series reduced_in_log(const fourier_curve& c, double low, double high, int columns,
                           std::string colour, double width) {
  std::vector<double> log_f, a;
  for (std::size_t k = 0; k < c.frequencies.size() && k < c.raw.size(); ++k) {
    if (c.frequencies[k] > 0) {
      log_f.push_back(std::log10(c.frequencies[k]));
      a.push_back(c.raw[k]);
    }
  }
  const points p = reduce(log_f, a, std::log10(low), std::log10(high), columns);
  line_series s{.label = {}, .y = p.y, .colour = std::move(colour), .width = width};
  for (double lf : p.x) s.x.push_back(std::pow(10.0, lf));
  return s;
}

}  // namespace

figure fourier_figure(std::string_view record, const std::vector<fourier_curve>& curves,
                      std::string_view note) {
  figure f;
  f.title = "Fourier amplitude spectrum, " + std::string(record);
  f.panel_height = 320;
  panel p;
  p.x = {"Frequency (Hz)", true};
  p.y = {"Fourier amplitude (cm/s)", true};
  p.note = std::string(note);
  // The frequencies of the smoothed spectra where there are some (the raw ones reach down to
  // df), and four decades under the highest amplitude at least.
  double f_low = INFINITY, f_high = 0, peak = 0, lowest = INFINITY;
  const auto take = [&](const std::vector<double>& x, const std::vector<double>& y) {
    for (std::size_t k = 0; k < x.size() && k < y.size(); ++k) {
      if (!(x[k] > 0) || !std::isfinite(y[k])) continue;
      f_low = std::min(f_low, x[k]);
      f_high = std::max(f_high, x[k]);
      peak = std::max(peak, y[k]);
      if (y[k] > 0) lowest = std::min(lowest, y[k]);
    }
  };
  for (const fourier_curve& c : curves) take(c.centres, c.smoothed);
  if (!(f_low < f_high)) {
    for (const fourier_curve& c : curves) take(c.frequencies, c.raw);
  }
  if (f_low < f_high && peak > 0) {
    p.x.low = decade_below(f_low);
    p.x.high = decade_above(f_high);
    p.y.high = decade_above(peak);
    p.y.low = std::min(p.y.high / 1e4, decade_below(std::max(lowest, peak * 1e-6)));
  }
  std::size_t i = 0;
  for (const fourier_curve& c : curves) {
    const std::string hue = c.effective ? "#000000" : colour(i++);
    p.lines.push_back({c.label, c.centres, c.smoothed, hue, c.effective ? 3.0 : 1.8});
  }
  f.panels.push_back(std::move(p));
  // The raw spectra under the smoothed ones, reduced to the columns of the plot area.
  if (!std::isnan(f.panels[0].x.low)) {
    const int columns = static_cast<int>(plot_area(f, 0).width);
    std::vector<line_series> raw;
    for (std::size_t k = 0; k < curves.size(); ++k) {
      const fourier_curve& c = curves[k];
      if (c.raw.empty()) continue;
      raw.push_back(reduced_in_log(c, f.panels[0].x.low, f.panels[0].x.high, columns,
                                   light(f.panels[0].lines[k].colour), c.effective ? 1.4 : 0.9));
    }
    f.panels[0].lines.insert(f.panels[0].lines.begin(), raw.begin(), raw.end());
  }
  return f;
}

}  // namespace plot
