// A long series reduced to what a picture can show: in each pixel column, the first, lowest,
// highest and last point in their order, so that every peak survives and the line looks the
// same as with every point. A not-a-number value is a gap in the line.
#pragma once

#include <span>
#include <vector>

namespace plot {

struct points {
  std::vector<double> x, y;
};

// x increasing; columns pixel columns over [x_low, x_high]. Short series come back whole.
points reduce(std::span<const double> x, std::span<const double> y, double x_low, double x_high,
              int columns);

// The indices that reduce keeps for y: to draw other series of the same x at the same points
// (the curves of a stack stay stacked).
std::vector<std::size_t> reduced_indices(std::span<const double> x, std::span<const double> y,
                                         double x_low, double x_high, int columns);

}  // namespace plot
