// What the figures share: number texts, the colours of components and the line styles of
// dampings, peaks, axes fitted to data, notes on what was left out.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "plot/chart.h"

namespace plot {

// Line styles by damping: solid, dashed, dotted, dash-dot, long dash, dash-dot-dot, short
// dash, long dash-dot, sparse dots, long dash-dot-dot-dot; then again.
inline constexpr const char* dashes[] = {
    "",    "8,4",      "2,3", "9,3,2,3",         "15,4", "9,3,2,3,2,3",
    "4,2", "15,3,3,3", "1,5", "14,3,2,3,2,3,2,3"};

// The colour of the i-th component: the palette without black, which RotD50 takes.
const char* component_colour(std::size_t i);

std::string percent(double ratio);   // 0.05: "5%"
std::string decimal_text(double v);  // a 1-2-5 value in plain decimals: 0.00005, 200
std::string plain(double v);         // the shortest text that reads back the same
std::string time_text(double t);     // "4.52 s"

// Zero (or a gap) throughout.
bool is_zero(const std::vector<double>& v);
// "UD is zero throughout: left out", "EW and UD are zero throughout: left out"; empty for none.
std::string left_out_note(const std::vector<std::string>& names);
// "3 values did not fit their fields and are left out"; empty for none.
std::string missing_note(std::size_t missing);

// The largest magnitude of a series and where it is (NaN where there is none).
struct peak {
  double x = NAN, value = NAN;
};
peak peak_of(const std::vector<double>& x, const std::vector<double>& y);
double largest(const std::vector<const std::vector<double>*>& series);
// The values times a factor.
std::vector<double> scaled(std::vector<double> v, double factor);

// A log axis fitted to positive values: from a decade below the smallest value that matters
// (1% of the peak), rounded down to 1, 2 or 5 times a power of ten, to the peak and 15% more,
// rounded up to 1, 1.5, 2, 3, 5 or 7 times a power of ten.
void fit_log(axis& a, const std::vector<const std::vector<double>*>& series);
// A linear axis from 0 to a round value above the largest magnitude.
void fit_linear(axis& a, const std::vector<const std::vector<double>*>& series);
// A symmetric linear axis with room above and below the peak for its label.
void fit_symmetric(axis& a, double peak_magnitude);

// A mark at a series' peak, labelled with its name, value (with the unit, unless it is "record
// units") and time.
void mark_peak(panel& p, const std::vector<double>& x, const std::vector<double>& y,
               std::string_view name, std::string_view unit, const std::string& colour);
// Time from the first sample to the last, on every panel of a figure.
void time_axis(figure& f, const std::vector<double>& time);

}  // namespace plot
