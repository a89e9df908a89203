// Every formula is evaluated in the written order, one IEEE operation at a time: the printed
// digits depend on it.
#include "response/resp.h"

#include <cmath>

#include "textio/statements.h"

namespace response {
namespace {

// A peak p meeting a not-a-number on either side becomes q.
double peak(double p, double q) {
  return p >= q ? p : q;
}

}  // namespace

recurrence nigam_jennings(double h, double w, double dt) {
  const double w2 = w * w;
  const double hw = h * w;
  const double wd = w * std::sqrt(1.0 - h * h);
  const double wdt = wd * dt;
  const double e = std::exp(-(hw * dt));
  const double cwdt = std::cos(wdt);
  const double swdt = std::sin(wdt);
  const double a11 = e * (hw * swdt / wd + cwdt);
  const double a12 = e * swdt / wd;
  const double a21 = -(e * w2 * swdt / wd);
  const double a22 = e * (cwdt - hw * swdt / wd);
  // Integrals of the decaying sine and cosine over the interval, plain and weighted.
  const double ss = -(hw * swdt) - wd * cwdt;
  const double cc = -(hw * cwdt) + wd * swdt;
  const double s1 = (e * ss + wd) / w2;
  const double c1 = (e * cc + hw) / w2;
  const double s2 = (e * dt * ss + hw * s1 + wd * c1) / w2;
  const double c2 = (e * dt * cc + hw * c1 - wd * s1) / w2;
  const double s3 = dt * s1 - s2;
  const double c3 = dt * c1 - c2;
  const double b11 = -(s2 / wdt);
  const double b12 = -(s3 / wdt);
  const double b21 = (hw * s2 - wd * c2) / wdt;
  const double b22 = (hw * s3 - wd * c3) / wdt;
  return {w2, hw, wd, wdt, e, a11, a12, a21, a22, b11, b12, b21, b22};
}

void resp(double h, double w, double dt, int nn, const series& ddy, const series& dy, series& acc,
          series& vel, series& dis, response_peaks& peaks) {
  const auto [w2, hw, wd, wdt, e, a11, a12, a21, a22, b11, b12, b21, b22] =
      nigam_jennings(h, w, dt);

  // Sample 1: at rest relative to the ground, with the velocity the first acceleration gives
  // over one interval.
  acc(1) = ((h + h) * w) * ddy(1) * dt;
  vel(1) = -(ddy(1) * dt);
  dis(1) = 0;
  double dx = vel(1);
  double x = 0;
  peaks = {};
  double ek = 0, ep = 0, ed = 0, et = 0;
  textio::write_formatted<energy_line>(energy_unit, {0.0, ek, ep, ed, et});

  for (int m = 2; m <= nn; ++m) {
    const double dxf = dx;
    const double xf = x;
    const double ddym = ddy(m);
    const double ddyf = ddy(m - 1);
    x = a12 * dxf + a11 * xf + b12 * ddym + b11 * ddyf;
    dx = a22 * dxf + a21 * xf + b22 * ddym + b21 * ddyf;
    const double ddx = -((hw + hw) * dx) - w2 * x;
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
    textio::write_formatted<energy_line>(energy_unit, {(m - 1) * dt, ek, ep, ed, et});
  }
}

}  // namespace response
