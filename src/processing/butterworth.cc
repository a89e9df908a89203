#include "processing/butterworth.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace processing {
namespace {

enum class pass { high, low };

// The analogue prototype's poles lie on the unit circle of the left half plane at the angles
// pi (2k + 1 + n) / (2n); a pair k, n-1-k is conjugate, and for odd n the pole k = (n-1)/2 is
// -1. With K = tan(pi fc dt), the bilinear transform carries a pair of real part sigma to the
// denominator z^2 + a1 z + a2 with
//   D = 1 - 2 sigma K + K^2,  a1 = -2 (1 - K^2) / D,  a2 = (1 + 2 sigma K + K^2) / D,
// the same for both kinds; the numerator is (z + 1)^2 K^2 / D for a low-pass and
// (z - 1)^2 / D for a high-pass. The real pole gives z + (K - 1) / (1 + K) over
// (z + 1) K / (1 + K) or (z - 1) / (1 + K).
// At low corners (K small) the poles crowd z = 1, where the filter's output hangs on the last
// bits of the coefficients. a1 and a2 are worked out as -2 and 1 plus small terms,
// a1 = -2 + 4K (K - sigma) / D and a2 = 1 + 4 sigma K / D, so that only the small terms round
// (to within an ulp of the exact values rather than a few); and the whole gain goes to the
// first section, the most damped, so that the others' numerators are (1, +-2, 1) exactly and
// multiply without rounding, as SciPy's butter lays them out.
std::vector<section> design(pass kind, int order, double fc, double dt) {
  assert(order >= 1 && order <= highest_order && fc > 0 && fc * dt < 0.5);
  const double k = std::tan(std::numbers::pi * fc * dt);
  const double k2 = k * k;
  const double sign = kind == pass::low ? 1 : -1;  // the zeros: z = -1 or z = 1
  std::vector<section> sections;
  double gain = 1;
  if (order % 2 == 1) {
    const double d = 1 + k;
    gain = kind == pass::low ? k / d : 1 / d;
    sections.push_back({.b0 = 1, .b1 = sign, .b2 = 0, .a1 = -1 + 2 * k / d, .a2 = 0});
  }
  // The pair k has -sigma = sin(pi (2k + 1) / (2n)), the larger the nearer k is to the middle:
  // from the middle outwards is from the most damped to the least, from the poles farthest
  // from the unit circle to the nearest.
  for (int pair = order / 2 - 1; pair >= 0; --pair) {
    const double angle = std::numbers::pi * (2 * pair + 1) / (2 * order);
    const double sigma = -std::sin(angle);
    const double d = 1 + k * (k - 2 * sigma);
    gain *= kind == pass::low ? k2 / d : 1 / d;
    sections.push_back({.b0 = 1,
                        .b1 = 2 * sign,
                        .b2 = 1,
                        .a1 = -2 + 4 * k * (k - sigma) / d,
                        .a2 = 1 + 4 * sigma * k / d});
  }
  section& first = sections.front();
  first.b0 *= gain;
  first.b1 *= gain;
  first.b2 *= gain;
  return sections;
}

}  // namespace

std::vector<section> butterworth_highpass(int order, double fc, double dt) {
  return design(pass::high, order, fc, dt);
}

std::vector<section> butterworth_lowpass(int order, double fc, double dt) {
  return design(pass::low, order, fc, dt);
}

}  // namespace processing
