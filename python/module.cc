// The compiled part of the Python module sdof: NumPy arrays to spans and back, the library's
// failures to exceptions, the GIL released while the library computes. The checks, the
// numbers and the words are the library's; the documented interface is the package around it
// (python/sdof/).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "edge/diagnostic.h"
#include "edge/disk.h"
#include "measures/evaluate.h"
#include "processing/process.h"
#include "programs/sdofspec/in_memory.h"
#include "records/registry.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/fourier/spectrum.h"
#include "spectra/grids.h"
#include "spectra/inelastic/options.h"
#include "spectra/inelastic/spectrum.h"
#include "spectra/inputs.h"
#include "spectra/response_history.h"
#include "spectra/spectrum.h"
#include "tables/columns.h"

namespace py = pybind11;

namespace {

// Any array-like of numbers; a float64 C-contiguous array is taken as it is, without a copy.
using samples = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::span<const double> span_of(const samples& a, const char* argument) {
  if (a.ndim() != 1) {
    throw py::value_error(std::string(argument) + ": a one-dimensional array, not one of " +
                          std::to_string(a.ndim()) + " dimensions");
  }
  return {a.data(), static_cast<std::size_t>(a.shape(0))};
}

// A failure of the library as the exception Python code expects: OSError where the system
// refused, ValueError for anything else; the words are the library's, after the argument's
// name where they do not say what they are about.
[[noreturn]] void raise(const base::status& s, const char* argument = nullptr) {
  const std::string words =
      argument ? std::string(argument) + ": " + edge::located(s) : edge::located(s);
  if (s.code == base::code::io) {
    PyErr_SetString(PyExc_OSError, words.c_str());
    throw py::error_already_set();
  }
  throw py::value_error(words);
}

void check(const base::status& s, const char* argument = nullptr) {
  if (!s.ok()) raise(s, argument);
}

// The vector's memory handed to NumPy: no copy, freed with the array; one dimension, or rows
// and columns.
py::array_t<double> array_of(std::vector<double>&& values, std::vector<py::ssize_t> shape = {}) {
  auto* owner = new std::vector<double>(std::move(values));
  const py::capsule free_it(owner, [](void* p) { delete static_cast<std::vector<double>*>(p); });
  if (shape.empty()) shape = {static_cast<py::ssize_t>(owner->size())};
  return py::array_t<double>(shape, owner->data(), free_it);
}

std::vector<py::ssize_t> rows_of(std::size_t rows, std::size_t columns) {
  return {static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)};
}

std::vector<std::string> words_of(const std::vector<base::status>& statuses) {
  std::vector<std::string> words;
  for (const base::status& s : statuses) words.push_back(edge::located(s));
  return words;
}

// The fields of spectral ordinates, one row of n periods per damping.
py::dict spectrum_arrays(const std::vector<std::vector<spectra::spectral_ordinate>>& rows,
                         std::size_t n, bool energy, const std::string& prefix = "") {
  using field = double spectra::spectral_ordinate::*;
  std::vector<std::pair<const char*, field>> fields = {{"sd", &spectra::spectral_ordinate::sd},
                                                       {"sv", &spectra::spectral_ordinate::sv},
                                                       {"sa", &spectra::spectral_ordinate::sa},
                                                       {"psv", &spectra::spectral_ordinate::psv},
                                                       {"psa", &spectra::spectral_ordinate::psa}};
  if (energy) {
    fields.emplace_back("ve_rel", &spectra::spectral_ordinate::relative_energy_velocity);
    fields.emplace_back("ve_abs", &spectra::spectral_ordinate::absolute_energy_velocity);
  }
  py::dict out;
  for (const auto& [name, member] : fields) {
    std::vector<double> values;
    values.reserve(rows.size() * n);
    for (const auto& row : rows) {
      for (const spectra::spectral_ordinate& o : row) values.push_back(o.*member);
    }
    out[py::str(prefix + name)] = array_of(std::move(values), rows_of(rows.size(), n));
  }
  return out;
}

py::object start_of(const records::component& c) {
  if (!c.start) return py::none();
  return py::int_(c.start->time_since_epoch().count());  // microseconds since 1970 UTC
}

py::tuple read_components(const std::string& path, std::optional<std::string> format,
                          std::optional<std::string> units, std::optional<double> counts_per_unit) {
  records::read_options options;
  const records::format* forced = nullptr;
  if (format) check(sdofspec::read_format(*format, forced), "format");
  if (units) check(sdofspec::read_units(*units, options.units), "units");
  if (counts_per_unit) {
    check(sdofspec::check_counts_per_unit(*counts_per_unit, options.units), "counts_per_unit");
    options.counts_per_unit = counts_per_unit;
  }
  records::read_result r;
  {
    py::gil_scoped_release unlocked;
    r = sdofspec::read_record(edge::real_disk(), path, options, forced);
  }
  check(r.status);
  py::list components;
  for (records::component& c : r.components) {
    py::dict d;
    d["dt"] = c.dt;
    d["unit"] = c.unit;
    d["channel"] = c.channel;
    d["azimuth"] = c.azimuth ? py::object(py::float_(*c.azimuth)) : py::none();
    d["vertical"] = c.vertical;
    d["network"] = c.network;
    d["station"] = c.station;
    d["location"] = c.location;
    d["event"] = c.event;
    d["start"] = start_of(c);
    d["acceleration"] = array_of(std::move(c.acceleration));
    components.append(d);
  }
  return py::make_tuple(components, words_of(r.warnings));
}

// The peak rule as sdofspec --peaks reads it.
spectra::peak_rule peak_rule_of(const std::string& peaks) {
  spectra::peak_rule rule{};
  check(sdofspec::read_peaks(peaks, rule), "peaks");
  return rule;
}

py::dict response_spectrum(const samples& acceleration, double dt, const samples& periods,
                           const samples& dampings, bool energy, const std::string& peaks) {
  const spectra::peak_rule rule = peak_rule_of(peaks);
  const auto a = span_of(acceleration, "acc");
  const auto t = span_of(periods, "periods");
  const auto h = span_of(dampings, "damping");
  check(spectra::check_request(a, dt, t, h));
  std::vector<std::vector<spectra::spectral_ordinate>> rows;
  {
    py::gil_scoped_release unlocked;
    for (double damping : h) {
      rows.push_back(spectra::response_spectrum(a, dt, t, damping, energy, rule));
    }
  }
  return spectrum_arrays(rows, t.size(), energy);
}

py::dict rotd(const samples& first, const samples& second, double dt, const samples& periods,
              const samples& dampings, const samples& percentiles, const std::string& peaks) {
  const spectra::peak_rule rule = peak_rule_of(peaks);
  const auto a1 = span_of(first, "acc1");
  const auto a2 = span_of(second, "acc2");
  const auto t = span_of(periods, "periods");
  const auto h = span_of(dampings, "damping");
  const auto q = span_of(percentiles, "percentiles");
  check(spectra::check_request(a1, dt, t, h), "acc1");
  check(spectra::check_request(a2, dt, t, h), "acc2");
  check(spectra::check_percentile_values(q), "percentiles");
  std::vector<spectra::pair_spectrum> pairs;
  {
    py::gil_scoped_release unlocked;
    for (double damping : h) {
      pairs.push_back(spectra::response_spectrum_of_pair(a1, a2, dt, t, damping, false, rule));
    }
  }
  std::vector<std::vector<spectra::spectral_ordinate>> one, two;
  // Each percentile's row as sdofspec's rotated rows hold it (spectra::rotd_at), dampings x
  // percentiles x periods.
  const std::size_t n = h.size() * q.size() * t.size();
  std::vector<double> sd, sv, sa, psv, psa, sd_angle, sv_angle, sa_angle;
  for (std::vector<double>* v : {&sd, &sv, &sa, &psv, &psa, &sd_angle, &sv_angle, &sa_angle}) {
    v->reserve(n);
  }
  for (const spectra::pair_spectrum& p : pairs) {
    one.push_back(p.first);
    two.push_back(p.second);
    for (double percentile : q) {
      for (std::size_t i = 0; i < p.rotd.size(); ++i) {
        const spectra::rotated_ordinate r = spectra::rotd_at(p.rotd[i], percentile, t[i]);
        sd.push_back(r.values.sd);
        sv.push_back(r.values.sv);
        sa.push_back(r.values.sa);
        psv.push_back(r.values.psv);
        psa.push_back(r.values.psa);
        sd_angle.push_back(r.sd_angle);
        sv_angle.push_back(r.sv_angle);
        sa_angle.push_back(r.sa_angle);
      }
    }
  }
  py::dict out = spectrum_arrays(one, t.size(), false, "first_");
  for (const auto& item : spectrum_arrays(two, t.size(), false, "second_")) {
    out[item.first] = item.second;
  }
  const std::vector<py::ssize_t> shape = {static_cast<py::ssize_t>(h.size()),
                                          static_cast<py::ssize_t>(q.size()),
                                          static_cast<py::ssize_t>(t.size())};
  for (auto& [name, values] :
       {std::pair{"sd", &sd}, std::pair{"sv", &sv}, std::pair{"sa", &sa}, std::pair{"psv", &psv},
        std::pair{"psa", &psa}, std::pair{"sd_angle", &sd_angle}, std::pair{"sv_angle", &sv_angle},
        std::pair{"sa_angle", &sa_angle}}) {
    out[name] = array_of(std::move(*values), shape);
  }
  return out;
}

measures::settings settings_of(const samples& table_periods, std::optional<double> tolerance,
                               std::optional<double> bracket, const samples& average_periods) {
  measures::settings s;
  const auto t = span_of(table_periods, "periods");
  const auto a = span_of(average_periods, "avgsa");
  s.table_periods.assign(t.begin(), t.end());
  s.average_periods.assign(a.begin(), a.end());
  if (tolerance) s.si_tolerance = *tolerance;
  if (bracket) s.bracket_g = *bracket;
  return s;
}

py::tuple intensity_measures(const samples& acceleration, double dt, const samples& table_periods,
                             bool detrend, std::optional<double> tolerance,
                             std::optional<double> bracket, const samples& average_periods) {
  const auto a = span_of(acceleration, "acc");
  const measures::settings s = settings_of(table_periods, tolerance, bracket, average_periods);
  check(measures::check_request(a, dt, s));
  measures::component_values v;
  {
    py::gil_scoped_release unlocked;
    v = measures::evaluate_component(a, dt, s, detrend);
  }
  std::vector<std::string> names;
  for (const tables::column& c : measures::all_columns()) names.emplace_back(c.name);
  return py::make_tuple(names, array_of(std::move(v.values)), v.warnings);
}

py::tuple rotated_intensity_measures(const samples& first, const samples& second, double dt,
                                     bool detrend) {
  const auto a1 = span_of(first, "acc1");
  const auto a2 = span_of(second, "acc2");
  check(spectra::check_record(a1, dt), "acc1");
  check(spectra::check_record(a2, dt), "acc2");
  std::vector<double> rows;
  {
    py::gil_scoped_release unlocked;
    rows = measures::evaluate_pair(a1, a2, dt, detrend);
  }
  std::vector<std::string> names;
  for (const tables::column& c : measures::all_columns()) names.emplace_back(c.name);
  return py::make_tuple(names,
                        array_of(std::move(rows), rows_of(measures::rotated_rows, names.size())));
}

py::tuple response_histories(const samples& acceleration, double dt, double period,
                             double damping) {
  const auto a = span_of(acceleration, "acc");
  check(spectra::check_request(a, dt, std::span(&period, 1), std::span(&damping, 1)));
  spectra::response_histories h;
  {
    py::gil_scoped_release unlocked;
    h = spectra::response_history(a, dt, period, damping);
  }
  return py::make_tuple(array_of(std::move(h.displacement)), array_of(std::move(h.velocity)),
                        array_of(std::move(h.absolute_acceleration)));
}

py::array_t<double> parse_periods(const std::string& text) {
  spectra::parsed_values p = spectra::parse_periods(text);
  check(p.status);
  return array_of(std::move(p.values));
}

py::array_t<double> parse_dampings(const std::string& text) {
  spectra::parsed_values p = spectra::parse_dampings(text);
  check(p.status);
  return array_of(std::move(p.values));
}

processing::steps steps_of(std::optional<double> pre_event, std::optional<double> taper,
                           std::optional<double> highpass, std::optional<double> lowpass, int order,
                           bool causal, bool baseline) {
  return {.pre_event = pre_event,
          .taper = taper,
          .highpass = highpass,
          .lowpass = lowpass,
          .order = order,
          .causal = causal,
          .baseline = baseline};
}

py::tuple process(const samples& acceleration, double dt, std::optional<double> pre_event,
                  std::optional<double> taper, std::optional<double> highpass,
                  std::optional<double> lowpass, int order, bool causal, bool baseline) {
  const auto a = span_of(acceleration, "acc");
  const processing::steps s =
      steps_of(pre_event, taper, highpass, lowpass, order, causal, baseline);
  check(sdofspec::check_processing(s));
  check(spectra::check_record(a, dt), "acc");
  check(processing::check(s, dt, a.size()));
  processing::processed p;
  {
    py::gil_scoped_release unlocked;
    p = processing::process(a, dt, s);
  }
  return py::make_tuple(array_of(std::move(p.acceleration)), p.leading_pad, p.trailing_pad,
                        processing::describe(s));
}

// The rows of an inelastic spectrum as arrays of periods x targets.
py::dict inelastic(const samples& acceleration, double dt, const samples& periods, double damping,
                   const samples& targets, bool ductility, double alpha) {
  const auto a = span_of(acceleration, "acc");
  const auto t = span_of(periods, "periods");
  const auto r = span_of(targets, ductility ? "ductility" : "strength_ratio");
  check(spectra::check_request(a, dt, t, std::span(&damping, 1)));
  check(ductility ? spectra::inelastic::check_ductility_values(r)
                  : spectra::inelastic::check_strength_ratio_values(r),
        ductility ? "ductility" : "strength_ratio");
  check(spectra::inelastic::check_alpha_value(alpha), "alpha");
  const spectra::inelastic::inelastic_settings settings{.damping = damping, .alpha = alpha};
  std::vector<spectra::inelastic::ordinate> rows;
  {
    py::gil_scoped_release unlocked;
    rows = ductility ? spectra::inelastic::constant_ductility_spectrum(a, dt, t, r, settings)
                     : spectra::inelastic::constant_strength_spectrum(a, dt, t, r, settings);
  }
  using ordinate = spectra::inelastic::ordinate;
  const std::pair<const char*, double ordinate::*> fields[] = {
      {"fy_norm", &ordinate::fy_norm},
      {"r_mu", &ordinate::r_mu},
      {"cy_g", &ordinate::cy_g},
      {"dy_cm", &ordinate::dy_cm},
      {"ay_g", &ordinate::ay_g},
      {"um_cm", &ordinate::um_cm},
      {"c_mu", &ordinate::c_mu},
      {"ductility", &ordinate::ductility},
      {"hysteretic_velocity", &ordinate::hysteretic_velocity}};
  py::dict out;
  const std::vector<py::ssize_t> shape = rows_of(t.size(), r.size());
  for (const auto& [name, member] : fields) {
    std::vector<double> values;
    values.reserve(rows.size());
    for (const ordinate& o : rows) values.push_back(o.*member);
    out[name] = array_of(std::move(values), shape);
  }
  std::vector<double> runs;
  std::vector<std::string> warnings;
  for (const ordinate& o : rows) {
    runs.push_back(o.runs);
    if (!o.warning.empty()) warnings.push_back(o.warning);
  }
  out["runs"] = array_of(std::move(runs), shape);
  out["warnings"] = warnings;
  return out;
}

// The frequencies a spectrum is smoothed at: those given, which must stay at or below the
// Nyquist frequency, or the default grid capped at it.
std::vector<double> grid_of(std::optional<samples> grid, double dt) {
  if (!grid) {
    return fourier::capped_at_nyquist(fourier::parse_grid(fourier::default_grid).values, dt);
  }
  const auto g = span_of(*grid, "grid");
  check(fourier::check_grid(g, dt), "grid");
  return {g.begin(), g.end()};
}

// The amplitudes at the transform's frequencies, or smoothed at the grid's.
py::tuple fourier_arrays(fourier::spectrum&& s, std::optional<samples> grid, double dt, bool raw,
                         double b) {
  if (raw) {
    std::vector<double> frequencies(s.amplitudes.size());
    for (std::size_t k = 0; k < frequencies.size(); ++k) {
      frequencies[k] = static_cast<double>(k) * s.df;
    }
    return py::make_tuple(array_of(std::move(frequencies)), array_of(std::move(s.amplitudes)),
                          s.df);
  }
  std::vector<double> centres = grid_of(std::move(grid), dt);
  check(fourier::check_smoothing(b, centres), "ko_b");
  std::vector<double> smoothed;
  {
    py::gil_scoped_release unlocked;
    smoothed = fourier::smooth(s.amplitudes, s.df, centres, b);
  }
  return py::make_tuple(array_of(std::move(centres)), array_of(std::move(smoothed)), s.df);
}

py::tuple fourier_spectrum(const samples& acceleration, double dt, bool raw,
                           std::optional<samples> grid, double b) {
  const auto a = span_of(acceleration, "acc");
  fourier::spectrum_result r;
  {
    py::gil_scoped_release unlocked;
    r = fourier::amplitude_spectrum(a, dt);
  }
  check(r.status, "acc");
  return fourier_arrays(std::move(r.value), std::move(grid), dt, raw, b);
}

py::tuple effective_amplitude_spectrum(const samples& first, const samples& second, double dt,
                                       bool raw, std::optional<samples> grid, double b) {
  const auto a1 = span_of(first, "acc1");
  const auto a2 = span_of(second, "acc2");
  check(spectra::check_record(a1, dt), "acc1");
  check(spectra::check_record(a2, dt), "acc2");
  fourier::spectrum_result r;
  {
    py::gil_scoped_release unlocked;
    r = fourier::effective_amplitude(a1, a2, dt);
  }
  check(r.status);
  return fourier_arrays(std::move(r.value), std::move(grid), dt, raw, b);
}

py::array_t<double> parse_with(spectra::parsed_values (*parse)(std::string_view),
                               const std::string& text) {
  spectra::parsed_values p = parse(text);
  check(p.status);
  return array_of(std::move(p.values));
}

// A table's columns: numbers as arrays, texts as lists of str.
py::list columns_of(std::string_view text) {
  constexpr std::string_view text_columns[] = {"record", "component", "station", "spectrum",
                                               "processing"};
  tables::table_read t = tables::read_table(text, text_columns);
  check(t.status);
  py::list out;
  for (tables::column_values& c : t.columns) {
    if (c.text) {
      out.append(py::make_tuple(c.name, py::cast(c.texts)));
    } else {
      out.append(py::make_tuple(c.name, array_of(std::move(c.numbers))));
    }
  }
  return out;
}

sdofspec::options batch_options(std::vector<std::string> records,
                                std::vector<std::pair<std::string, std::string>> pairs, bool rotd) {
  sdofspec::options o;
  o.records = std::move(records);
  o.pairs = std::move(pairs);
  o.rotd = rotd;
  return o;
}

py::dict batch(std::vector<std::string> records,
               std::vector<std::pair<std::string, std::string>> pairs, const samples& periods,
               const samples& dampings, bool rotd, bool energy, bool intensity_measures,
               bool detrend, std::optional<std::string> units, std::optional<std::string> format,
               std::optional<double> counts_per_unit, std::optional<double> tolerance,
               std::optional<double> bracket, const samples& average_periods, const py::dict& steps,
               std::optional<py::dict> inelastic_request, std::optional<samples> rotd_percentiles,
               std::optional<py::dict> fourier_request, const std::string& peaks, unsigned jobs) {
  sdofspec::options o = batch_options(std::move(records), std::move(pairs), rotd);
  if (rotd_percentiles) {
    const auto q = span_of(*rotd_percentiles, "rotd_percentiles");
    check(spectra::check_percentile_values(q), "rotd_percentiles");
    o.rotd_percentiles.assign(q.begin(), q.end());
  }
  if (fourier_request) {
    const py::dict& r = *fourier_request;
    o.fourier.wanted = true;
    o.fourier.raw = r["raw"].cast<bool>();
    o.fourier.bandwidth = r["ko_b"].cast<double>();
    if (!r["grid"].is_none()) {
      const samples given = r["grid"].cast<samples>();
      const auto g = span_of(given, "fas_grid");
      o.fourier.grid.assign(g.begin(), g.end());
      o.fourier.grid_given = true;
    }
    if (!o.fourier.raw) {
      // Each value apart, against the default of the other, so the words name the right one.
      const std::vector<double> centres = fourier::parse_grid(fourier::default_grid).values;
      check(fourier::check_smoothing(o.fourier.bandwidth, centres), "ko_b");
      if (o.fourier.grid_given) {
        check(fourier::check_smoothing(fourier::default_bandwidth, o.fourier.grid), "fas_grid");
      }
    }
  }
  o.processing = steps_of(
      steps["pre_event"].cast<std::optional<double>>(),
      steps["taper"].cast<std::optional<double>>(), steps["highpass"].cast<std::optional<double>>(),
      steps["lowpass"].cast<std::optional<double>>(), steps["order"].cast<int>(),
      steps["causal"].cast<bool>(), steps["baseline"].cast<bool>());
  check(sdofspec::check_processing(o.processing));
  if (inelastic_request) {
    const py::dict& r = *inelastic_request;
    o.inelastic.wanted = true;
    for (const auto& [key, values, checked] :
         {std::tuple{"ductility", &o.inelastic.ductilities,
                     &spectra::inelastic::check_ductility_values},
          std::tuple{"strength_ratio", &o.inelastic.strength_ratios,
                     &spectra::inelastic::check_strength_ratio_values}}) {
      if (r[key].is_none()) continue;
      const samples given = r[key].cast<samples>();
      const auto v = span_of(given, key);
      check(checked(v), key);
      values->assign(v.begin(), v.end());
    }
    o.inelastic.alpha = r["alpha"].cast<double>();
    check(spectra::inelastic::check_alpha_value(o.inelastic.alpha), "alpha");
  }
  const auto t = span_of(periods, "periods");
  const auto h = span_of(dampings, "damping");
  check(spectra::check_period_values(t));
  check(spectra::check_damping_values(h));
  o.periods.assign(t.begin(), t.end());
  o.dampings.assign(h.begin(), h.end());
  o.energy = energy;
  o.peaks = peak_rule_of(peaks);
  o.intensity_measures = intensity_measures;
  o.detrend = detrend;
  if (units) check(sdofspec::read_units(*units, o.units), "units");
  if (format) check(sdofspec::read_format(*format, o.format), "format");
  if (counts_per_unit) {
    check(sdofspec::check_counts_per_unit(*counts_per_unit, o.units), "counts_per_unit");
    o.counts_per_unit = counts_per_unit;
  }
  o.measure_settings = settings_of(periods, tolerance, bracket, average_periods);
  check(measures::check_settings(o.measure_settings));
  o.jobs = jobs;
  sdofspec::tables_in_memory run;
  {
    py::gil_scoped_release unlocked;
    run = sdofspec::run_in_memory(std::move(o), edge::real_disk());
  }
  py::dict out;
  out["spectra"] = columns_of(run.spectra);
  out["intensity"] = intensity_measures ? py::object(columns_of(run.intensity)) : py::none();
  out["inelastic"] = inelastic_request ? py::object(columns_of(run.inelastic)) : py::none();
  out["fourier"] = fourier_request ? py::object(columns_of(run.fourier)) : py::none();
  out["failures"] = words_of(run.failures);
  out["warnings"] = words_of(run.warnings);
  out["status"] = run.status;
  return out;
}

py::tuple plan(std::vector<std::string> records,
               std::vector<std::pair<std::string, std::string>> pairs, bool rotd) {
  const sdofspec::options o = batch_options(std::move(records), std::move(pairs), rotd);
  sdofspec::job_files j = sdofspec::plan_files(o, edge::real_disk());
  return py::make_tuple(j.jobs, words_of(j.failures));
}

// Columns given as (name, float array) or (name, list of str), written as the tables are.
std::string write_table(const py::list& columns) {
  std::vector<tables::column_values> values;
  for (const py::handle item : columns) {
    const auto [name, column] = item.cast<std::pair<std::string, py::object>>();
    tables::column_values c{.name = name, .text = false, .texts = {}, .numbers = {}};
    if (py::isinstance<py::array>(column) && !py::array(column).dtype().is(py::dtype("O"))) {
      const auto numbers = span_of(column.cast<samples>(), name.c_str());
      c.numbers.assign(numbers.begin(), numbers.end());
    } else {
      c.text = true;
      c.texts = column.cast<std::vector<std::string>>();
    }
    values.push_back(std::move(c));
  }
  check(tables::check_lengths(values));
  return tables::write_table(values);
}

py::list formats() {
  py::list out;
  for (const records::format& f : records::formats()) {
    out.append(py::make_tuple(std::string(f.name), std::string(f.description)));
  }
  return out;
}

}  // namespace

PYBIND11_MODULE(_sdof, m) {
  m.doc() = "The compiled core of sdof: use the functions of the package sdof.";
  m.attr("version") = SDOF_VERSION;
  m.attr("nga_west2_periods") = array_of(std::vector<double>(spectra::nga_west2_periods()));
  m.def("formats", &formats);
  m.def("read", &read_components);
  m.def("response_spectrum", &response_spectrum);
  m.def("rotd", &rotd);
  m.def("intensity_measures", &intensity_measures);
  m.def("rotated_intensity_measures", &rotated_intensity_measures);
  m.def("response", &response_histories);
  m.def("parse_periods", &parse_periods);
  m.def("parse_dampings", &parse_dampings);
  m.def("parse_percentiles",
        [](const std::string& text) { return parse_with(&spectra::parse_percentiles, text); });
  m.def("batch", &batch);
  m.def("plan", &plan);
  m.def("write_table", &write_table);
  m.def("process", &process);
  m.def("inelastic", &inelastic);
  m.def("fourier_spectrum", &fourier_spectrum);
  m.def("effective_amplitude_spectrum", &effective_amplitude_spectrum);
  m.def("parse_ductilities", [](const std::string& text) {
    return parse_with(&spectra::inelastic::parse_ductilities, text);
  });
  m.def("parse_strength_ratios", [](const std::string& text) {
    return parse_with(&spectra::inelastic::parse_strength_ratios, text);
  });
  m.def("parse_grid",
        [](const std::string& text) { return parse_with(&fourier::parse_grid, text); });
  m.attr("default_ductilities") = std::string(spectra::inelastic::default_ductilities);
  m.attr("default_bandwidth") = fourier::default_bandwidth;
}
