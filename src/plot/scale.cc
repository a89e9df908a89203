#include "plot/scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plot {
namespace {

// The 1-2-5 step that gives about `count` intervals over the span.
double step_for(double span, double count) {
  const double raw = span / count;
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * decade >= raw) return m * decade;
  }
  return 10 * decade;
}

}  // namespace

scale::scale(double low, double high, double from, double to, bool logarithmic)
    : low_(low), high_(high), from_(from), to_(to), log_(logarithmic) {}

double scale::operator()(double value) const {
  const double t =
      log_ ? (std::log10(value) - std::log10(low_)) / (std::log10(high_) - std::log10(low_))
           : (value - low_) / (high_ - low_);
  return from_ + t * (to_ - from_);
}

std::vector<tick> scale::ticks(double min_label_spacing) const {
  std::vector<tick> out;
  const double pixels = std::fabs(to_ - from_);
  if (log_) {
    const int first = static_cast<int>(std::floor(std::log10(low_) + 1e-9));
    const int last = static_cast<int>(std::ceil(std::log10(high_) - 1e-9));
    const double per_decade = pixels / std::max(1, last - first);
    // Minor ticks at 2..9; labels at 2 and 5 only where a decade is wide enough.
    const bool label_minor = per_decade >= 3.2 * min_label_spacing;
    for (int e = first; e <= last; ++e) {
      for (int m = 1; m <= 9; ++m) {
        const double v = m * std::pow(10.0, e);
        if (v < low_ * (1 - 1e-9) || v > high_ * (1 + 1e-9)) continue;
        out.push_back({v, m == 1, m == 1 || (label_minor && (m == 2 || m == 5))});
      }
    }
    return out;
  }
  double step = step_for(high_ - low_, std::max(2.0, pixels / min_label_spacing));
  // At least three ticks where the axis is long enough: a range that ends between round
  // values (a symmetric one) would otherwise show zero alone.
  while ((high_ - low_) / step < 2.2 && pixels / ((high_ - low_) / step + 1) >= 14) {
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / decade;
    step = (m > 4 ? 2 : m > 1.5 ? 1 : 0.5) * decade;
  }
  // Ticks closer than about half the label spacing are labelled every other one.
  const bool every_other = pixels * step / (high_ - low_) < 0.6 * min_label_spacing;
  const double first = std::ceil(low_ / step - 1e-9) * step;
  for (double v = first; v <= high_ + step * 1e-9; v += step) {
    const double snapped = std::fabs(v) < step * 1e-9 ? 0 : v;
    const bool even = std::fmod(std::fabs(std::round(snapped / step)), 2.0) == 0;
    out.push_back({snapped, true, !every_other || even});
  }
  return out;
}

range nice_range(double low, double high, bool logarithmic) {
  if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high)) return {0, 1};
  if (logarithmic) {
    if (!(low > 0)) low = high > 0 ? high / 1000 : 1;
    if (!(high > 0)) high = 10;
    double l = std::pow(10.0, std::floor(std::log10(low) + 1e-9));
    double h = std::pow(10.0, std::ceil(std::log10(high) - 1e-9));
    if (h <= l) h = l * 10;
    return {l, h};
  }
  if (low == high) {
    const double pad = low == 0 ? 1 : std::fabs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  // Zero is included when the data start within a fifth of the span from it.
  const double span = high - low;
  if (low > 0 && low < 0.2 * span) low = 0;
  if (high < 0 && -high < 0.2 * span) high = 0;
  const double step = step_for(high - low, 5);
  return {std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step};
}

std::string tick_label(double value) {
  if (value == 0) return "0";
  char text[32];
  // Six significant digits at most removes the noise of repeated additions (0.30000000000000004).
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  std::string s(text, r.ptr);
  // 1e+03 and the like read better as 1000 up to a million.
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e4 && magnitude < 1e6 && value == std::floor(value)) {
    return std::to_string(static_cast<long long>(value));
  }
  return s;
}

}  // namespace plot
