#include "plot/figure_parts.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "plot/figures.h"
#include "plot/scale.h"

namespace plot {
namespace {

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

}  // namespace

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

std::string decimal_text(double v) {
  const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(v) + 1e-9)));
  char text[48];
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
  return std::string(text, r.ptr);
}

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
  return std::all_of(v.begin(), v.end(), [](double x) { return x == 0 || std::isnan(x); });
}

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

std::vector<double> scaled(std::vector<double> v, double factor) {
  if (factor != 1) {
    for (double& x : v) x *= factor;
  }
  return v;
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

void fit_symmetric(axis& a, double peak_magnitude) {
  if (!(peak_magnitude > 0)) return;
  a.low = -1.4 * peak_magnitude;
  a.high = 1.4 * peak_magnitude;
}

void mark_peak(panel& p, const std::vector<double>& x, const std::vector<double>& y,
               std::string_view name, std::string_view unit, const std::string& colour) {
  const peak k = peak_of(x, y);
  if (std::isnan(k.value)) return;
  const std::string value =
      value_text(k.value) + (unit == "record units" ? "" : " " + std::string(unit));
  p.marks.push_back(
      {k.x, k.value, std::string(name) + " " + value + " at " + time_text(k.x), colour});
}

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

}  // namespace plot
