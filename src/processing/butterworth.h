// Butterworth filters designed as second-order sections: the analogue prototype's poles,
// pre-warped and carried to the sampled domain by the bilinear transform.
#pragma once

#include <vector>

#include "processing/sos_filter.h"

namespace processing {

// The most sections a cascade of one high-pass and one low-pass filter of order 8 has.
inline constexpr int highest_order = 8;

// High-pass and low-pass filters of order 1 to 8 at corner fc (Hz) for samples dt (s) apart,
// fc below the Nyquist frequency 1 / (2 dt). The analogue corner is pre-warped,
// Wc = (2 / dt) tan(pi fc dt), so that the sampled filter's gain at fc is exactly 1/sqrt(2);
// its magnitude is
//   |H(f)|^2 = 1 / (1 + (tan(pi fc dt) / tan(pi f dt))^(2n))   (high-pass)
//   |H(f)|^2 = 1 / (1 + (tan(pi f dt) / tan(pi fc dt))^(2n))   (low-pass).
// The sections come in the order of their poles' distance from the unit circle, farthest first,
// with the first-order section of an odd order first; the first holds the whole gain (1 in the
// pass band: at the Nyquist frequency for a high-pass, at 0 for a low-pass), the others'
// numerators are (1, -2, 1) for a high-pass and (1, 2, 1) for a low-pass.
std::vector<section> butterworth_highpass(int order, double fc, double dt);
std::vector<section> butterworth_lowpass(int order, double fc, double dt);

}  // namespace processing
