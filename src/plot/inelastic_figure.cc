#include "plot/inelastic_figure.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/numbers.h"

namespace plot {

figure inelastic_figure(std::string_view record, std::string_view detail,
                        const std::vector<ductility_curve>& curves) {
  figure f;
  f.title = "Constant-ductility spectra, " + std::string(record) + " (" + std::string(detail) + ")";
  f.shared_x = true;
  f.panel_height = 260;
  panel r, c;
  r.title = "Strength reduction factor";
  r.x = {"Period T (s)", true};
  r.y = {"R_μ = f_0 / f_y (-)", false, 0};
  c.title = "Inelastic displacement ratio";
  c.x = {"Period T (s)", true};
  c.y = {"C_μ = u_m / u_0 (-)", false, 0};
  double low = INFINITY, high = 0;
  for (std::size_t i = 0; i < curves.size(); ++i) {
    const ductility_curve& d = curves[i];
    const std::string label = "μ = " + base::shortest(d.ductility);
    r.lines.push_back({label, d.periods, d.r_mu, colour(i)});
    c.lines.push_back({label, d.periods, d.c_mu, colour(i)});
    for (double t : d.periods) {
      low = std::min(low, t);
      high = std::max(high, t);
    }
  }
  // Where the peak deformation is the elastic one (the equal-displacement rule).
  if (low < high) c.lines.push_back({"C_μ = 1", {low, high}, {1, 1}, "#999999", 1.2, "7,4"});
  f.panels.push_back(std::move(r));
  f.panels.push_back(std::move(c));
  return f;
}

}  // namespace plot
