// Scales from data to pixels, linear or logarithmic, with the ticks an engineer expects:
// round steps on linear axes, decades (and labelled 2 and 5 where there is room) on log axes.
#pragma once

#include <string>
#include <vector>

namespace plot {

struct tick {
  double value;
  bool major;  // drawn longer, with a grid line
  bool labelled;
};

class scale {
 public:
  // [low, high] in data to [from, to] in pixels (from > to for a y axis).
  scale(double low, double high, double from, double to, bool logarithmic);
  double operator()(double value) const;
  double low() const { return low_; }
  double high() const { return high_; }
  bool logarithmic() const { return log_; }
  // Ticks inside the range; about one label per min_label_spacing pixels.
  std::vector<tick> ticks(double min_label_spacing) const;

 private:
  double low_, high_, from_, to_;
  bool log_;
};

// A range that holds the data and ends on round values: for a linear axis, multiples of a
// 1-2-5 step (zero included when the data are near it); for a log axis, whole decades.
struct range {
  double low, high;
};
range nice_range(double low, double high, bool logarithmic);

// The text of a tick value: as short as the step allows (0.02, 1, 1000, 1e-05).
std::string tick_label(double value);

}  // namespace plot
