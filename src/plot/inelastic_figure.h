// The picture of constant-ductility spectra: the strength reduction factor R_mu and the
// inelastic displacement ratio C_mu against period, a curve for each target ductility.
#pragma once

#include <string_view>
#include <vector>

#include "plot/chart.h"

namespace plot {

// One target ductility of a record at one damping and alpha.
struct ductility_curve {
  double ductility = 0;
  std::vector<double> periods;  // s
  std::vector<double> r_mu;     // f_0 / f_y; not-a-number where the ductility is not reached
  std::vector<double> c_mu;     // u_m / u_0; likewise
};

// R_mu (top) and C_mu (bottom) on a shared logarithmic period axis; detail names the oscillator
// ("5% damping, elastoplastic") and goes into the title.
figure inelastic_figure(std::string_view record, std::string_view detail,
                        const std::vector<ductility_curve>& curves);

}  // namespace plot
