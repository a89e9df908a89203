#include "response/resp.h"

namespace response {
namespace {

// A peak p meeting a not-a-number on either side becomes q.
double peak(double p, double q) {
  return p >= q ? p : q;
}

}  // namespace

void resp(double h, double w, double dt, int nn, const series& ddy, const series& dy, series& acc,
          series& vel, series& dis, response_peaks& peaks, energy_sink& energy) {
  const recurrence r = nigam_jennings(h, w, dt);
  const double w2 = r.w2, hw = r.hw;

  // Sample 1: at rest relative to the ground, with the velocity the first acceleration gives
  // over one interval.
  acc(1) = ((h + h) * w) * ddy(1) * dt;
  vel(1) = -(ddy(1) * dt);
  dis(1) = 0;
  oscillator_state s{0, vel(1)};
  peaks = {};
  double ek = 0, ep = 0, ed = 0, et = 0;
  energy.line(0.0, ek, ep, ed, et);

  for (int m = 2; m <= nn; ++m) {
    const double dxf = s.dx;
    const double ddym = ddy(m);
    const double ddyf = ddy(m - 1);
    s = step(r, s, ddyf, ddym);
    const double x = s.x, dx = s.dx;
    const double ddx = absolute_acceleration(r, s);
    const double adx = dx + dy(m);
    acc(m) = ddx;
    vel(m) = dx;
    dis(m) = x;
    peaks.sa = peak(peaks.sa, std::fabs(ddx));
    peaks.sv = peak(peaks.sv, std::fabs(dx));
    peaks.asv = peak(peaks.asv, std::fabs(adx));
    peaks.sd = peak(peaks.sd, std::fabs(x));
    ek = dx * dx / 2;
    ep = w2 * x * x / 2;
    ed = (dxf * dxf + dx * dx) * hw * dt + ed;
    et = et - (ddyf * dxf + ddym * dx) * dt / 2;
    // Times are (m - 1) * dt, never a running sum: no drift over long records.
    energy.line((m - 1) * dt, ek, ep, ed, et);
  }
}

}  // namespace response
