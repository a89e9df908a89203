#include "tables/spectra_table.h"

#include <cmath>

#include "base/numbers.h"

namespace tables {

std::vector<column> name_columns() {
  return {{"record", "", "Record"},
          {"component", "", "Component"},
          {"station", "", "Station"},
          {"azimuth_deg", "degrees", "Azimuth"}};
}

void name_fields(row& r, const row_name& n) {
  r.text(n.record).text(n.component).text(n.station).number(n.azimuth);
}

std::vector<column> spectra_columns(bool energy, bool rotated) {
  std::vector<column> c = name_columns();
  const std::vector<column> values = {{"damping", "", "Damping"}, {"period_s", "s", "T"},
                                      {"sd_cm", "cm", "Sd"},      {"sv_cm_s", "cm/s", "Sv"},
                                      {"sa_g", "g", "Sa"},        {"psv_cm_s", "cm/s", "PSv"},
                                      {"psa_g", "g", "PSa"}};
  c.insert(c.end(), values.begin(), values.end());
  if (energy) {
    c.push_back({"ve_rel_cm_s", "cm/s", "Relative input energy, sqrt(2E)"});
    c.push_back({"ve_abs_cm_s", "cm/s", "Absolute input energy, sqrt(2E)"});
  }
  if (rotated) {
    c.push_back({"rotd00_angle_deg", "degrees", "Angle of RotD00"});
    c.push_back({"rotd100_angle_deg", "degrees", "Angle of RotD100"});
    c.push_back({"sd_angle_deg", "degrees", "Angle of the row's Sd"});
    c.push_back({"sv_angle_deg", "degrees", "Angle of the row's Sv"});
    c.push_back({"sa_angle_deg", "degrees", "Angle of the row's Sa"});
  }
  return c;
}

void spectra_row(std::string& out, const row_name& name, double damping, double period,
                 const spectra::spectral_ordinate& o, const kernels::rotated_peaks* rotated,
                 bool energy, bool rotd_columns, const std::string* processing) {
  row r(out);
  name_fields(r, name);
  r.number(damping).number(period).number(o.sd);
  if (rotated) {
    r.empty(2).number(o.psv).number(o.psa);
    if (energy) r.empty(2);
    r.whole(rotated->angle00).whole(rotated->angle100).empty(3);
  } else {
    r.number(o.sv).number(o.sa).number(o.psv).number(o.psa);
    if (energy) r.number(o.relative_energy_velocity).number(o.absolute_energy_velocity);
    if (rotd_columns) r.empty(5);
  }
  if (processing) r.text(*processing);
  r.end();
}

std::string rotated_name(double percentile) {
  return std::string(percentile < 10 ? "RotD0" : "RotD") + base::shortest(percentile);
}

void rotated_row(std::string& out, const row_name& name, double damping, double period,
                 const spectra::rotated_ordinates& q, double percentile, bool energy,
                 const std::string* processing) {
  row r(out);
  name_fields(r, name);
  const spectra::rotated_ordinate at = spectra::rotd_at(q, percentile, period);
  const spectra::spectral_ordinate& o = at.values;
  r.number(damping).number(period).number(o.sd).number(o.sv).number(o.sa);
  r.number(o.psv).number(o.psa);
  if (energy) r.empty(2);
  r.whole(q.sd.angle_at(0)).whole(q.sd.angle_at(100));
  r.whole(at.sd_angle).whole(at.sv_angle).whole(at.sa_angle);
  if (processing) r.text(*processing);
  r.end();
}

}  // namespace tables
