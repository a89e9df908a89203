// The response of the oscillator to one component of ground acceleration, with its energy
// history: the solver of sdofresp. Pure: the energy lines go to a sink that the caller
// provides.
#pragma once

#include "response/oscillator.h"
#include "response/samples.h"

namespace response {

// Peak magnitudes over samples 2 to nn.
struct response_peaks {
  double sa = 0;   // absolute acceleration
  double sv = 0;   // relative velocity
  double asv = 0;  // absolute velocity
  double sd = 0;   // relative displacement
};

// Receives one energy line per sample: time, kinetic, strain, damping and input energy.
class energy_sink {
 public:
  virtual void line(double time, double ek, double ep, double ed, double et) = 0;

 protected:
  ~energy_sink() = default;
};

// h: damping factor; w: undamped circular frequency (rad/s); dt: sampling interval (s); nn
// samples of ground acceleration ddy and ground velocity dy. Fills acc, vel, dis for samples
// 1 to nn (sample 1 also when nn < 1) and hands max(nn, 1) energy lines to energy.
// Validates nothing: an impossible h, w or dt gives not-a-numbers after the first sample.
void resp(double h, double w, double dt, int nn, const series& ddy, const series& dy, series& acc,
          series& vel, series& dis, response_peaks& peaks, energy_sink& energy);

}  // namespace response
