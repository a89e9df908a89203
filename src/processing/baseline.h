// Baseline correction after filtering: the least-squares polynomial of degree 6 without
// constant and linear terms through the displacement, whose second derivative comes off the
// acceleration (the correction of the USGS processing, gmprocess's "baseline_sixth_order").
#pragma once

#include <array>
#include <span>

#include "processing/lanes.h"

namespace processing {

// c[0] t^2 + c[1] t^3 + ... + c[4] t^6, t in s from the first sample (t = i dt), c[k] in
// cm/s^(k+2). Without constant and linear terms it is 0 with a zero slope at t = 0: taken off
// the acceleration as its second derivative, it comes off the displacement integrated from rest
// as itself.
struct baseline_polynomial {
  std::array<double, 5> c{};
  double at(double t) const;
  double second_derivative(double t) const;
};

// The polynomial nearest the displacement (cm, samples dt apart) in least squares; at least 6
// samples.
baseline_polynomial fit_baseline(std::span<const double> displacement, double dt);

// Integrates the acceleration (cm/s2) from rest, fits the displacement and removes the fit's
// second derivative from the acceleration, in place; returns the fit.
baseline_polynomial remove_baseline(std::span<double> acceleration, double dt);

// The same with the passes over the record in vectors or in their scalar twin (for the tests that
// compare them), with room for the displacement (as many values as the acceleration; without
// it, its own is allocated).
namespace detail {
baseline_polynomial remove_baseline(std::span<double> acceleration, double dt, lanes_in lanes,
                                    std::span<double> scratch = {});
}

}  // namespace processing
