// The response of a linear single-degree-of-freedom oscillator to one component of ground
// acceleration, by the exact recurrence for an acceleration linear between samples (Nigam and
// Jennings), with its energy history.
#pragma once

#include "response/samples.h"
#include "textio/record.h"

namespace response {

// The energy lines go to this unit, which the caller connects and gives its header.
inline constexpr int energy_unit = 15;
inline constexpr textio::record_format energy_line = textio::parse_format("(F9.4,4(',',F9.4))");

// The recurrence over one interval: x(m) = a12 dx(m-1) + a11 x(m-1) + b12 ddy(m) + b11 ddy(m-1),
// dx(m) likewise with a22, a21, b22, b21. Depends on h, w and dt only.
struct recurrence {
  double w2, hw, wd, wdt, e;
  double a11, a12, a21,
      a22;  // free vibration: a11, a21 on the displacement, a12, a22 on the velocity
  double b11, b12, b21,
      b22;  // load: b11, b21 on the acceleration at the start, b12, b22 at the end
};
recurrence nigam_jennings(double h, double w, double dt);

// Peak magnitudes over samples 2 to nn.
struct response_peaks {
  double sa = 0;   // absolute acceleration
  double sv = 0;   // relative velocity
  double asv = 0;  // absolute velocity
  double sd = 0;   // relative displacement
};

// h: damping factor; w: undamped circular frequency (rad/s); dt: sampling interval (s); nn
// samples of ground acceleration ddy and ground velocity dy. Fills acc, vel, dis for samples
// 1 to nn (sample 1 also when nn < 1) and writes max(nn, 1) energy lines: time, kinetic,
// strain, damping and input energy. Validates nothing: an impossible h, w or dt gives
// not-a-numbers after the first sample.
void resp(double h, double w, double dt, int nn, const series& ddy, const series& dy, series& acc,
          series& vel, series& dis, response_peaks& peaks);

}  // namespace response
