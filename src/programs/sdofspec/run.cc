#include "programs/sdofspec/run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <variant>

#include "base/numbers.h"
#include "base/paths.h"
#include "base/physics.h"
#include "base/time.h"
#include "edge/read_file.h"
#include "kernels/rotd.h"
#include "measures/husid.h"
#include "measures/measure.h"
#include "measures/spectrum_intensity.h"
#include "processing/integrate.h"
#include "programs/sdofspec/ordered_pool.h"
#include "programs/sdofspec/plan.h"
#include "records/at2_writer.h"
#include "records/registry.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/fourier/spectrum.h"
#include "spectra/inelastic/spectrum.h"
#include "spectra/spectrum.h"
#include "tables/spectra_table.h"

namespace sdofspec {
namespace {

// Periods per task: six vectors of the widest kind.
constexpr std::size_t periods_per_task = 48;
const char* const rotated_names[measures::rotated_rows] = {"RotD00", "RotD50", "RotD100"};

// The spectra of a unit at one damping, for the periods from `from` to `to` of its request.
struct spectrum_task {
  std::size_t unit = 0, request = 0, from = 0, to = 0;
};
// A measure that is a task of its own, on one side of a unit.
struct measure_task {
  std::size_t unit = 0;
  int side = 0;
  std::size_t measure = 0;
};
// The inelastic spectra of one side of a unit at one damping: constant ductility (kind 0) or
// constant strength (kind 1).
struct inelastic_task {
  std::size_t unit = 0;
  int side = 0;
  std::size_t request = 0;
  int kind = 0;
};
// The Fourier spectra of a unit: its sides' FAS, a pair's EAS, and their smoothing.
struct fourier_task {
  std::size_t unit = 0;
};
using task = std::variant<spectrum_task, measure_task, inelastic_task, fourier_task>;
const char* const inelastic_kinds[2] = {"ductility", "strength"};

struct unit_result {
  std::vector<spectra::spectral_ordinate> first, second;
  std::vector<kernels::rotated_peaks> rotated;
  std::vector<spectra::rotated_ordinates> rotd;  // every ordinate at every angle
};

// A measure's values on one side of a unit, and its warning.
struct measure_values {
  std::vector<double> values;
  std::string warning;
};

// A unit's Fourier spectra, one df for all: the first side's FAS, the second's and the EAS
// (of a pair), and each smoothed at the run's grid (where the table or the pictures want it).
struct fourier_values {
  std::vector<fourier::spectrum> spectra;
  std::vector<std::vector<double>> smoothed;
  base::status status;  // ok, or why the unit has none
};

struct job_state {
  std::vector<loaded_file> files;
  job_units units;
  std::vector<std::vector<unit_result>> results;  // [unit][request]
  std::vector<task> tasks;
  // Measures of their own task: [unit][side][measure].
  std::vector<std::vector<std::vector<measure_values>>> own;
  // Inelastic rows: [unit][side][request][kind].
  std::vector<std::vector<std::vector<std::array<std::vector<spectra::inelastic::ordinate>, 2>>>>
      inelastic;
  std::vector<fourier_values> fourier;  // [unit]
  // The accelerations as recorded, [file][component], where processing replaced them and
  // pictures show both.
  std::vector<std::vector<std::vector<double>>> raw;
  std::string table, intensity, inelastic_table, fourier_table;
  std::vector<std::pair<base::status, bool>> messages;  // (words, warning), in order
  report::record_result result;
  bool has_result = false;
  bool failed = false;
  bool usage = false;                      // a processing step that a record cannot take: status 2
  std::atomic<bool> out_of_memory{false};  // a task could not have the memory it needed
};

std::string join(const std::vector<std::string>& steps) {
  std::string words;
  for (const std::string& step : steps) words += (words.empty() ? "" : "; ") + step;
  return words;
}

std::size_t columns_of(const measures::measure& m) {
  return m.columns.size();
}

class program {
 public:
  program(const options& o, edge::disk& disk, reporter& words, const outputs& out)
      : o_(o), disk_(disk), words_(words), out_(out) {
    plan_ = plan_jobs(o.records, o.pairs, o.rotd);
    requests_ = plan_requests(o.periods, o.dampings);
  }

  int run() {
    write_headers();
    states_.resize(plan_.jobs.size());
    start_ = std::chrono::steady_clock::now();
    pool_work w;
    w.load = [this](std::size_t j) { return load(j); };
    w.run = [this](std::size_t j, std::size_t t) { execute(*states_[j], states_[j]->tasks[t]); };
    w.assemble = [this](std::size_t j) { assemble(*states_[j]); };
    w.deliver = [this](std::size_t j) { deliver(j); };
    run_in_order(plan_.jobs.size(), std::max(1u, o_.jobs), std::max<std::size_t>(2, 2 * o_.jobs),
                 w);
    return usage_ ? 2 : failed_ ? 1 : 0;
  }

 private:
  void write_headers() {
    const bool rotd_columns = o_.rotd || !o_.pairs.empty();
    std::vector<tables::column> spectra = tables::spectra_columns(o_.energy, rotd_columns);
    if (o_.processing.any()) spectra.push_back(tables::processing_column);
    out_.table->write(tables::header(spectra));
    if (out_.intensity) {
      std::vector<tables::column> columns = tables::name_columns();
      for (const measures::measure& m : measures::all()) {
        columns.insert(columns.end(), m.columns.begin(), m.columns.end());
      }
      if (o_.processing.any()) columns.push_back(tables::processing_column);
      out_.intensity->write(tables::header(columns));
    }
    if (out_.inelastic) {
      std::vector<tables::column> columns = tables::name_columns();
      const std::vector<tables::column> values = {
          {"spectrum", "", "Spectrum"},
          {"damping", "", "Damping"},
          {"alpha", "", "Post-yield stiffness ratio"},
          {"period_s", "s", "T"},
          {"target", "", "Ductility or strength ratio sought"},
          {"fy_norm", "", "f_y / f_0"},
          {"r_mu", "", "R_mu"},
          {"cy_g", "g", "C_y"},
          {"dy_cm", "cm", "u_y"},
          {"ay_g", "g", "A_y"},
          {"um_cm", "cm", "u_m"},
          {"c_mu", "", "C_mu"},
          {"ductility", "", "Ductility reached"},
          {"vh_cm_s", "cm/s", "Hysteretic energy, sqrt(2 E_H)"}};
      columns.insert(columns.end(), values.begin(), values.end());
      if (o_.processing.any()) columns.push_back(tables::processing_column);
      out_.inelastic->write(tables::header(columns));
    }
    if (out_.fourier) {
      std::vector<tables::column> columns = tables::name_columns();
      columns.push_back({"frequency_hz", "Hz", "Frequency"});
      columns.push_back({"amplitude_cm_s", "cm/s", "Fourier amplitude"});
      if (o_.processing.any()) columns.push_back(tables::processing_column);
      out_.fourier->write(tables::header(columns));
    }
  }

  // Reads the job's files, forms its units and lists its tasks.
  std::size_t load(std::size_t j) {
    auto state = std::make_unique<job_state>();
    job_state& s = *state;
    const records::read_options read{
        .units = o_.units, .counts_per_unit = o_.counts_per_unit, .most_samples = most_samples};
    for (std::size_t i : plan_.jobs[j].files) {
      loaded_file f{.path = plan_.files[i], .components = {}};
      try {
        const edge::file_content content = edge::read_file(
            disk_, f.path, most_record_bytes,
            [this](std::string_view head) { return records::recognise(head, o_.format); },
            records::head_size);
        if (!content.status.ok()) {
          s.messages.emplace_back(content.status, false);
          s.failed = true;
        } else {
          records::read_result r = records::read_any(content.text, read, o_.format);
          for (base::status& warning : r.warnings) {
            warning.file = f.path;
            s.messages.emplace_back(std::move(warning), true);
          }
          if (!r.ok()) {
            r.status.file = f.path;
            s.messages.emplace_back(std::move(r.status), false);
            s.failed = true;
          } else {
            f.components = std::move(r.components);
            for (const records::component& c : f.components) check_peak(s, f.path, c);
            if (o_.processing.any()) process_file(s, f);
            if (o_.fourier.wanted && o_.fourier.grid_given) check_fourier_grid(s, f);
          }
        }
      } catch (const std::bad_alloc&) {
        base::status why = base::failure("not enough memory to read it", base::code::limit);
        why.file = f.path;
        s.messages.emplace_back(std::move(why), false);
        s.failed = true;
        f.components.clear();
      }
      s.files.push_back(std::move(f));
    }
    s.units = plan_units(plan_.jobs[j], s.files);
    for (const base::status& w : s.units.warnings) s.messages.emplace_back(w, true);
    for (const base::status& f : s.units.failures) s.messages.emplace_back(f, false);
    s.failed = s.failed || !s.units.failures.empty();
    drop_units_beyond_substep_limit(s);

    const std::vector<unit>& units = s.units.units;
    s.results.assign(units.size(), std::vector<unit_result>(requests_.size()));
    for (std::size_t u = 0; u < units.size(); ++u) {
      for (std::size_t r = 0; r < requests_.size(); ++r) {
        unit_result& out = s.results[u][r];
        const std::size_t n = requests_[r].periods.size();
        out.first.resize(n);
        if (units[u].pair) {
          out.second.resize(n);
          out.rotated.resize(n);
          out.rotd.resize(n);
        }
        for (std::size_t from = 0; from < n; from += periods_per_task) {
          s.tasks.push_back(spectrum_task{
              .unit = u, .request = r, .from = from, .to = std::min(n, from + periods_per_task)});
        }
      }
    }
    if (o_.intensity_measures) {
      const std::span<const measures::measure> all = measures::all();
      s.own.resize(units.size());
      for (std::size_t u = 0; u < units.size(); ++u) {
        s.own[u].assign(units[u].pair ? 2 : 1, std::vector<measure_values>(all.size()));
        for (int side = 0; side < (units[u].pair ? 2 : 1); ++side) {
          for (std::size_t m = 0; m < all.size(); ++m) {
            if (all[m].own_task) s.tasks.push_back(measure_task{u, side, m});
          }
        }
      }
    }
    if (o_.inelastic.wanted) {
      s.inelastic.resize(units.size());
      for (std::size_t u = 0; u < units.size(); ++u) {
        const int sides = units[u].pair ? 2 : 1;
        s.inelastic[u].resize(static_cast<std::size_t>(sides));
        for (int side = 0; side < sides; ++side) {
          s.inelastic[u][static_cast<std::size_t>(side)].resize(requests_.size());
          // A component of zeros has no strength to find (a word says it is all zero).
          const std::span<const double> a = side == 0 ? units[u].first : units[u].second;
          if (std::all_of(a.begin(), a.end(), [](double v) { return v == 0; })) continue;
          for (std::size_t r = 0; r < requests_.size(); ++r) {
            for (int kind = 0; kind < 2; ++kind) {
              if ((kind == 0 ? o_.inelastic.ductilities : o_.inelastic.strength_ratios).empty())
                continue;
              s.tasks.push_back(inelastic_task{u, side, r, kind});
            }
          }
        }
      }
    }
    if (o_.fourier.wanted) {
      s.fourier.resize(units.size());
      for (std::size_t u = 0; u < units.size(); ++u) s.tasks.push_back(fourier_task{u});
    }
    const std::size_t count = s.tasks.size();
    states_[j] = std::move(state);
    return count;
  }

  // Each component processed as asked (its samples replaced by the processed record, pads
  // and all), and written out where asked. A step the record cannot take refuses the file.
  void process_file(job_state& s, loaded_file& f) {
    thread_local processing::workspace room;
    if (out_.sink) {
      s.raw.resize(s.files.size() + 1);
      for (const records::component& c : f.components) s.raw.back().push_back(c.acceleration);
    }
    for (records::component& c : f.components) {
      base::status why = processing::check(o_.processing, c.dt, c.acceleration.size());
      if (!why.ok()) {
        why.file = f.path;
        why.what = "component " + c.channel + ": " + why.what;
        s.messages.emplace_back(std::move(why), false);
        s.failed = true;
        if (why.code == base::code::usage) s.usage = true;
        f.components.clear();
        return;
      }
      c.acceleration = processing::process(c.acceleration, c.dt, o_.processing, room).acceleration;
      if (out_.processed_folder.empty() || !out_.files) continue;
      const std::string name = out_.processed_folder + "/" + std::string(base::stem(f.path)) + "-" +
                               base::file_name_part(c.channel) + ".AT2";
      base::status refused;
      std::unique_lock lock(files_mutex_);  // the output rule's claims are one at a time
      const auto out = out_.files->claim(name, refused);
      lock.unlock();
      if (out && out->write(records::write_at2(c, f.path, processing_steps_))) {
        refused = out->commit();
      }
      if (!refused.ok()) {
        s.messages.emplace_back(std::move(refused), false);
        s.failed = true;
      }
    }
  }

  // A grid given with --fas-grid that a component cannot take (a frequency above its Nyquist
  // frequency) refuses the file, as a processing step it cannot take does.
  void check_fourier_grid(job_state& s, loaded_file& f) const {
    for (const records::component& c : f.components) {
      base::status why = fourier::check_grid(fourier_grid_, c.dt);
      if (why.ok()) continue;
      why.file = f.path;
      why.what = "component " + c.channel + ": --fas-grid: " + why.what;
      s.messages.emplace_back(std::move(why), false);
      s.failed = true;
      s.usage = true;
      f.components.clear();
      return;
    }
  }
  // A record of zeros, or one whose peak is not that of an earthquake in its unit (a record in
  // gal read as g), is computed, with a word.
  static void check_peak(job_state& s, const std::string& path, const records::component& c) {
    double peak = 0;
    for (double a : c.acceleration) peak = std::max(peak, std::fabs(a));
    const double g = peak / base::standard_gravity;
    std::string what;
    if (peak == 0) {
      what = "component " + c.channel + " is all zero";
    } else if (g > 5 || g < 1e-6) {
      what = "component " + c.channel + ": a peak of " + base::shortest(g) + " g, read in " +
             c.unit + ": is that its unit?";
    } else {
      return;
    }
    base::status w = base::failure(std::move(what));
    w.file = path;
    s.messages.emplace_back(std::move(w), true);
  }

  // A period too short for a file's interval would take more sub-steps than memory and time
  // allow: the file's units go, with a word, before anything is allocated.
  void drop_units_beyond_substep_limit(job_state& s) {
    std::vector<double> shortest = {
        o_.periods.empty() ? 1.0 : *std::min_element(o_.periods.begin(), o_.periods.end())};
    if (o_.intensity_measures) shortest.push_back(measures::shortest_spectral_period);
    std::vector<unit>& units = s.units.units;
    std::vector<std::size_t> refused_files;
    for (const unit& x : units) {
      base::status why = spectra::check_periods(shortest, x.dt);
      if (why.ok()) continue;
      for (std::size_t f : {x.file, x.pair ? x.second_file : x.file}) {
        if (std::find(refused_files.begin(), refused_files.end(), f) != refused_files.end())
          continue;
        refused_files.push_back(f);
        why.file = s.files[f].path;
        s.messages.emplace_back(why, false);
      }
      s.failed = true;
    }
    if (refused_files.empty()) return;
    std::erase_if(units, [&](const unit& x) {
      return std::find(refused_files.begin(), refused_files.end(), x.file) != refused_files.end();
    });
    for (std::size_t f : refused_files) s.files[f].components.clear();
  }

  void execute(job_state& s, const task& t) {
    try {
      run_task(s, t);
    } catch (const std::bad_alloc&) {
      s.out_of_memory = true;
    }
  }

  void run_task(job_state& s, const task& t) {
    if (const auto* st = std::get_if<spectrum_task>(&t)) {
      const unit& x = s.units.units[st->unit];
      unit_result& out = s.results[st->unit][st->request];
      const request& r = requests_[st->request];
      const std::span<const double> periods(r.periods.data() + st->from, st->to - st->from);
      const auto at = static_cast<std::ptrdiff_t>(st->from);
      if (x.pair) {
        const spectra::pair_spectrum p = spectra::response_spectrum_of_pair(
            x.first, x.second, x.dt, periods, r.damping, o_.energy, o_.peaks);
        std::copy(p.first.begin(), p.first.end(), out.first.begin() + at);
        std::copy(p.second.begin(), p.second.end(), out.second.begin() + at);
        std::copy(p.rotated.begin(), p.rotated.end(), out.rotated.begin() + at);
        std::copy(p.rotd.begin(), p.rotd.end(), out.rotd.begin() + at);
      } else {
        const auto o =
            spectra::response_spectrum(x.first, x.dt, periods, r.damping, o_.energy, o_.peaks);
        std::copy(o.begin(), o.end(), out.first.begin() + at);
      }
      return;
    }
    if (const auto* it = std::get_if<inelastic_task>(&t)) {
      const unit& x = s.units.units[it->unit];
      const std::span<const double> a = it->side == 0 ? x.first : x.second;
      const spectra::inelastic::inelastic_settings settings{
          .damping = requests_[it->request].damping, .alpha = o_.inelastic.alpha};
      s.inelastic[it->unit][static_cast<std::size_t>(it->side)][it->request]
                 [static_cast<std::size_t>(it->kind)] =
          it->kind == 0 ? spectra::inelastic::constant_ductility_spectrum(
                              a, x.dt, o_.periods, o_.inelastic.ductilities, settings)
                        : spectra::inelastic::constant_strength_spectrum(
                              a, x.dt, o_.periods, o_.inelastic.strength_ratios, settings);
      return;
    }
    if (const auto* ft = std::get_if<fourier_task>(&t)) {
      s.fourier[ft->unit] = fourier_of(s.units.units[ft->unit]);
      return;
    }
    const measure_task& mt = std::get<measure_task>(t);
    const unit& x = s.units.units[mt.unit];
    const measures::measure& m = measures::all()[mt.measure];
    const std::span<const double> a = mt.side == 0 ? x.first : x.second;
    const measures::ground_histories none;
    measure_values& v = s.own[mt.unit][static_cast<std::size_t>(mt.side)][mt.measure];
    v.values.assign(columns_of(m), NAN);
    m.of_component({a, x.dt, none}, o_.measure_settings, v.values, v.warning);
  }

  // The intensity row of a component (side of a unit): every measure, own tasks taken from
  // the state.
  void intensity_row(job_state& s, const std::string& record, const records::component& g,
                     std::size_t u, int side) {
    const std::span<const measures::measure> all = measures::all();
    const measures::ground_histories ground = measures::integrate(g.acceleration, g.dt, o_.detrend);
    // The table's spectrum at 5%, where the run computes one: the peak PSa's period needs it.
    measures::spectrum_at_5_percent at_5;
    std::vector<double> psa;
    const measures::spectrum_at_5_percent* spectrum = nullptr;
    for (std::size_t r = 0; r < requests_.size() && !spectrum; ++r) {
      if (requests_[r].damping != 0.05) continue;
      const unit_result& res = s.results[u][r];
      for (const spectra::spectral_ordinate& o : side == 0 ? res.first : res.second) {
        psa.push_back(o.psa);
      }
      at_5 = {requests_[r].periods, psa};
      spectrum = &at_5;
    }
    const measures::component_input input{g.acceleration, g.dt, ground, spectrum};
    report::measure_row row{.component = g.channel, .rotated = false, .values = {}};
    for (std::size_t m = 0; m < all.size(); ++m) {
      std::vector<double> values(columns_of(all[m]), NAN);
      std::string warning;
      if (all[m].own_task) {
        measure_values& own = s.own[u][static_cast<std::size_t>(side)][m];
        values = own.values;
        warning = own.warning;
      } else {
        all[m].of_component(input, o_.measure_settings, values, warning);
      }
      if (!warning.empty()) {
        base::status w = base::failure(g.channel + ": " + warning);
        w.file = s.files[side == 0 ? s.units.units[u].file : s.units.units[u].second_file].path;
        s.messages.emplace_back(std::move(w), true);
      }
      row.values.insert(row.values.end(), values.begin(), values.end());
    }
    if (std::any_of(row.values.begin(), row.values.end(), [](double v) { return std::isinf(v); })) {
      base::status why =
          base::failure("component " + g.channel + ": the intensity measures are not finite");
      why.file = s.files[side == 0 ? s.units.units[u].file : s.units.units[u].second_file].path;
      s.messages.emplace_back(std::move(why), false);
      s.failed = true;
      return;
    }
    tables::row r(s.intensity);
    tables::name_fields(r, {record, g.channel, g.station, g.azimuth.value_or(NAN)});
    for (double v : row.values) r.number(v);
    if (o_.processing.any()) r.text(processing_words_);
    r.end();
    s.result.intensity.push_back(std::move(row));
  }

  // Whether every ordinate of a side of a unit is finite; a word for the first that is not.
  bool finite_response(job_state& s, std::size_t u, int side, const std::string& path,
                       const std::string& channel) {
    for (std::size_t r = 0; r < requests_.size(); ++r) {
      const unit_result& res = s.results[u][r];
      const auto& ordinates = side == 0 ? res.first : res.second;
      for (std::size_t p = 0; p < ordinates.size(); ++p) {
        bool ok = spectra::finite(ordinates[p]);
        if (side == 1 && !res.rotated.empty()) {
          const kernels::rotated_peaks& q = res.rotated[p];
          ok = ok && std::isfinite(q.rotd00) && std::isfinite(q.rotd50) && std::isfinite(q.rotd100);
          // Not-a-number sorts last: the largest peak of each ordinate says for all.
          const spectra::rotated_ordinates& all = res.rotd[p];
          ok = ok && std::isfinite(all.sd.sorted.back()) && std::isfinite(all.sv.sorted.back()) &&
               std::isfinite(all.sa.sorted.back());
        }
        if (ok) continue;
        base::status why =
            base::failure("component " + channel + ": the response at T = " +
                          base::shortest(requests_[r].periods[p]) + " s is not finite");
        why.file = path;
        s.messages.emplace_back(std::move(why), false);
        s.failed = true;
        return false;
      }
    }
    return true;
  }

  // A unit's spectra: a pair's sides are cut to one length, so transformed at one length.
  fourier_values fourier_of(const unit& x) {
    fourier_values v;
    for (int side = 0; side < (x.pair ? 2 : 1); ++side) {
      fourier::spectrum_result r =
          fourier::amplitude_spectrum(side == 0 ? x.first : x.second, x.dt);
      if (!r.ok()) {
        v.status = std::move(r.status);
        return v;
      }
      v.spectra.push_back(std::move(r.value));
    }
    if (x.pair) {
      fourier::spectrum_result r = fourier::effective_amplitude(v.spectra[0], v.spectra[1]);
      if (!r.ok()) {
        v.status = std::move(r.status);
        return v;
      }
      v.spectra.push_back(std::move(r.value));
    }
    if (o_.fourier.raw && !out_.sink) return v;
    std::vector<std::span<const double>> amplitudes;
    for (const fourier::spectrum& f : v.spectra) amplitudes.emplace_back(f.amplitudes);
    v.smoothed = smoothing_for(v.spectra[0].amplitudes.size())->smooth(amplitudes, v.spectra[0].df);
    return v;
  }

  // The smoothing's tables, made for the most bins a record has needed so far: every record of
  // a batch of one length shares one.
  std::shared_ptr<const fourier::konno_ohmachi> smoothing_for(std::size_t bins) {
    const std::lock_guard lock(smoothing_mutex_);
    if (!smoothing_ || smoothing_->bins() < bins) {
      smoothing_ =
          std::make_shared<const fourier::konno_ohmachi>(o_.fourier.bandwidth, fourier_grid_, bins);
    }
    return smoothing_;
  }

  // The rows of one of a unit's Fourier spectra (0 and 1 its sides', 2 a pair's EAS), and its
  // curve for the pictures. The default grid stops at the record's Nyquist frequency.
  void fourier_rows(job_state& s, const tables::row_name& name, std::size_t u, std::size_t which,
                    double dt) {
    const fourier_values& v = s.fourier[u];
    const fourier::spectrum& f = v.spectra[which];
    // The grid's frequencies this record can have.
    const double nyquist = fourier::nyquist(dt);
    std::size_t within = 0;
    while (within < fourier_grid_.size() && fourier_grid_[within] <= nyquist) ++within;
    const auto emit = [&](double frequency, double amplitude) {
      tables::row row(s.fourier_table);
      tables::name_fields(row, name);
      row.number(frequency).number(amplitude);
      if (o_.processing.any()) row.text(processing_words_);
      row.end();
    };
    if (o_.fourier.raw) {
      for (std::size_t k = 0; k < f.amplitudes.size(); ++k) {
        emit(static_cast<double>(k) * f.df, f.amplitudes[k]);
      }
    } else {
      for (std::size_t i = 0; i < within; ++i) emit(fourier_grid_[i], v.smoothed[which][i]);
    }
    if (!out_.sink) return;
    const auto smoothed = std::span<const double>(v.smoothed[which]).first(within);
    report::fourier_curve c{.label = std::string(which == 2 ? "EAS" : name.component),
                            .df = f.df,
                            .raw = f.amplitudes,
                            .centres = {fourier_grid_.begin(), fourier_grid_.begin() + within},
                            .smoothed = {smoothed.begin(), smoothed.end()},
                            .effective = which == 2};
    s.result.fourier.push_back(std::move(c));
  }

  // A component's Fourier rows, or the words for why it has none.
  void component_fourier_rows(job_state& s, const std::string& record, const records::component& g,
                              std::size_t u, int side) {
    const fourier_values& v = s.fourier[u];
    if (!v.status.ok()) {
      base::status why = v.status;
      why.file = record;
      why.what = "component " + g.channel + ": no Fourier spectrum: " + why.what;
      s.messages.emplace_back(std::move(why), false);
      s.failed = true;
      return;
    }
    if (side == 0 && !o_.fourier.raw && !(fourier_grid_.front() <= fourier::nyquist(g.dt))) {
      base::status w = base::failure("component " + g.channel + ": the Nyquist frequency " +
                                     base::shortest(fourier::nyquist(g.dt)) +
                                     " Hz is below the Fourier grid: no smoothed spectrum");
      w.file = record;
      s.messages.emplace_back(std::move(w), true);
    }
    fourier_rows(s, {record, g.channel, g.station, g.azimuth.value_or(NAN)}, u,
                 static_cast<std::size_t>(side), g.dt);
  }

  void assemble(job_state& s) {
    if (s.out_of_memory) {
      // Nothing of the job is written: some of its spectra are missing.
      base::status why = base::failure("not enough memory to compute it", base::code::limit);
      for (const loaded_file& f : s.files) why.file += (why.file.empty() ? "" : ", ") + f.path;
      s.messages.emplace_back(std::move(why), false);
      s.failed = true;
      s.files.clear();
      s.units = {};
    }
    const bool rotd_columns = o_.rotd || !o_.pairs.empty();
    s.result.energy = o_.energy;
    if (o_.fourier.wanted) s.result.fourier_note = fourier_note_;
    std::vector<bool> refused(s.units.units.size(), false);  // a pair whose response overflowed
    for (const loaded_file& f : s.files) {
      if (f.components.empty()) continue;
      s.result.name += (s.result.name.empty() ? "" : "+") + f.path;
      s.has_result = true;
      const records::component& first = f.components.front();
      report::file_read read{.path = f.path,
                             .station = first.station,
                             .event = first.event,
                             .start = first.start ? base::format_utc(*first.start) : "",
                             .dt = first.dt,
                             .samples = first.acceleration.size(),
                             .channels = {}};
      for (const records::component& c : f.components) read.channels.push_back(c.channel);
      s.result.files.push_back(std::move(read));
    }
    if (out_.sink) record_pictures(s);
    for (const unit& x : s.units.units) {
      if (!x.pair) continue;
      s.result.pairs.push_back(s.files[x.file].components[x.component].channel + " + " +
                               s.files[x.second_file].components[x.second_component].channel);
    }
    const std::vector<unit>& units = s.units.units;
    for (std::size_t f = 0; f < s.files.size(); ++f) {
      const std::vector<records::component>& components = s.files[f].components;
      for (std::size_t c = 0; c < components.size(); ++c) {
        const records::component& g = components[c];
        // The unit that holds this component, and which side of it.
        std::size_t u = 0;
        int side = -1;
        for (std::size_t k = 0; k < units.size() && side < 0; ++k) {
          if (units[k].file == f && units[k].component == c) side = 0;
          if (units[k].pair && units[k].second_file == f && units[k].second_component == c)
            side = 1;
          if (side >= 0) u = k;
        }
        if (side < 0) continue;
        if (!finite_response(s, u, side, s.files[f].path, g.channel)) {
          refused[u] = true;
          continue;
        }
        for (std::size_t r = 0; r < requests_.size(); ++r) {
          const unit_result& res = s.results[u][r];
          const auto& ordinates = side == 0 ? res.first : res.second;
          report::curve curve{g.channel, requests_[r].damping, o_.periods, {}, false};
          for (std::size_t p = 0; p < o_.periods.size(); ++p) {
            const spectra::spectral_ordinate& o = ordinates[requests_[r].table[p]];
            tables::spectra_row(s.table,
                                {s.files[f].path, g.channel, g.station, g.azimuth.value_or(NAN)},
                                requests_[r].damping, o_.periods[p], o, nullptr, o_.energy,
                                rotd_columns, o_.processing.any() ? &processing_words_ : nullptr);
            curve.ordinates.push_back(o);
          }
          if (out_.sink) s.result.curves.push_back(std::move(curve));
        }
        if (o_.intensity_measures) intensity_row(s, s.files[f].path, g, u, side);
        if (o_.inelastic.wanted) inelastic_rows(s, s.files[f].path, g, u, side);
        if (o_.fourier.wanted) component_fourier_rows(s, s.files[f].path, g, u, side);
      }
    }
    for (const unit& x : units) {
      const std::size_t u = static_cast<std::size_t>(&x - units.data());
      if (!x.pair || refused[u]) continue;
      for (const double percentile : o_.rotd_percentiles) {
        const std::string name = tables::rotated_name(percentile);
        tables::row_name row = pair_name(s, x, 0);
        row.component = name;
        for (std::size_t r = 0; r < requests_.size(); ++r) {
          const unit_result& res = s.results[u][r];
          report::curve curve{name, requests_[r].damping, o_.periods, {}, true};
          for (std::size_t p = 0; p < o_.periods.size(); ++p) {
            const spectra::rotated_ordinates& q = res.rotd[requests_[r].table[p]];
            tables::rotated_row(s.table, row, requests_[r].damping, o_.periods[p], q, percentile,
                                o_.energy, o_.processing.any() ? &processing_words_ : nullptr);
            curve.ordinates.push_back(
                spectra::pseudo_ordinate(q.sd.percentile(percentile), o_.periods[p]));
          }
          // The pictures show RotD50.
          if (out_.sink && percentile == 50) s.result.curves.push_back(std::move(curve));
        }
      }
      if (o_.intensity_measures) rotated_intensity_rows(s, x);
      if (o_.fourier.wanted && s.fourier[u].status.ok()) {
        const records::component& first = s.files[x.file].components[x.component];
        fourier_rows(s, {x.name, "EAS", first.station, first.azimuth.value_or(NAN)}, u, 2, x.dt);
      }
    }
    // Free the samples now: the text is all that is left to write.
    s.units = {};
    s.results.clear();
    s.files.clear();
    s.own.clear();
    s.inelastic.clear();
    s.fourier.clear();
  }

  // What the record's pictures show: its title, and the histories of its components as
  // processed and as recorded.
  static void record_pictures(job_state& s) {
    std::string names, station;
    for (const loaded_file& f : s.files) {
      if (f.components.empty()) continue;
      names += (names.empty() ? "" : " + ") + std::string(base::base_name(f.path));
      if (station.empty()) station = f.components.front().station;
    }
    s.result.title = station.empty() ? names : names + ", " + station;
    const auto histories_of = [](const std::string& name, std::span<const double> a, double dt) {
      const processing::ground_histories g = processing::integrate(a, dt);
      report::component_histories h{.name = name,
                                    .acceleration = {},
                                    .velocity = g.velocity,
                                    .displacement = g.displacement,
                                    .husid = measures::husid(a, dt)};
      for (double v : a) h.acceleration.push_back(v / base::standard_gravity);
      const double total = h.husid.empty() ? 0 : h.husid.back();
      for (double& v : h.husid) v = total > 0 ? v / total : 0;
      return h;
    };
    for (std::size_t f = 0; f < s.files.size(); ++f) {
      const std::vector<records::component>& components = s.files[f].components;
      for (std::size_t c = 0; c < components.size(); ++c) {
        const records::component& g = components[c];
        s.result.dt = g.dt;
        s.result.histories.push_back(histories_of(g.channel, g.acceleration, g.dt));
        if (f < s.raw.size() && c < s.raw[f].size()) {
          s.result.raw_histories.push_back(histories_of(g.channel, s.raw[f][c], g.dt));
        }
      }
    }
  }

  // A component's inelastic rows, and its constant-ductility curves for the pictures.
  void inelastic_rows(job_state& s, const std::string& record, const records::component& g,
                      std::size_t u, int side) {
    const tables::row_name name{record, g.channel, g.station, g.azimuth.value_or(NAN)};
    for (std::size_t r = 0; r < requests_.size(); ++r) {
      for (std::size_t kind = 0; kind < 2; ++kind) {
        const std::vector<spectra::inelastic::ordinate>& rows =
            s.inelastic[u][static_cast<std::size_t>(side)][r][kind];
        for (const spectra::inelastic::ordinate& o : rows) {
          if (!o.warning.empty()) {
            base::status w = base::failure("component " + g.channel + ": " + o.warning);
            w.file = record;
            s.messages.emplace_back(std::move(w), true);
          }
          tables::row row(s.inelastic_table);
          tables::name_fields(row, name);
          row.text(inelastic_kinds[kind]).number(requests_[r].damping).number(o_.inelastic.alpha);
          row.number(o.period).number(o.target);
          for (double v : {o.fy_norm, o.r_mu, o.cy_g, o.dy_cm, o.ay_g, o.um_cm, o.c_mu, o.ductility,
                           o.hysteretic_velocity}) {
            row.number(v);
          }
          if (o_.processing.any()) row.text(processing_words_);
          row.end();
        }
        if (kind != 0 || !out_.sink || rows.empty()) continue;
        report::inelastic_curves set{g.channel, requests_[r].damping, o_.inelastic.alpha, {}};
        for (double mu : o_.inelastic.ductilities) {
          report::inelastic_curves::curve c{mu, {}, {}, {}};
          for (const spectra::inelastic::ordinate& o : rows) {
            if (o.target != mu) continue;
            c.periods.push_back(o.period);
            c.r_mu.push_back(o.r_mu);
            c.c_mu.push_back(o.c_mu);
          }
          set.curves.push_back(std::move(c));
        }
        s.result.inelastic.push_back(std::move(set));
      }
    }
  }

  // The name of a rotated row: its station and the azimuth of the pair's first component, from
  // which its angles are measured.
  tables::row_name pair_name(const job_state& s, const unit& x, int k) const {
    const records::component& first = s.files[x.file].components[x.component];
    return {x.name, rotated_names[k], first.station, first.azimuth.value_or(NAN)};
  }

  void rotated_intensity_rows(job_state& s, const unit& x) {
    const std::span<const measures::measure> all = measures::all();
    const measures::ground_histories g1 = measures::integrate(x.first, x.dt, o_.detrend);
    const measures::ground_histories g2 = measures::integrate(x.second, x.dt, o_.detrend);
    const measures::pair_input pair{{x.first, x.dt, g1}, {x.second, x.dt, g2}};
    std::vector<double> rows[measures::rotated_rows];
    for (const measures::measure& m : all) {
      const std::size_t n = columns_of(m);
      std::vector<double> values(measures::rotated_rows * n, NAN);
      if (m.of_pair) m.of_pair(pair, values);
      for (int k = 0; k < measures::rotated_rows; ++k) {
        const auto from = values.begin() + static_cast<std::ptrdiff_t>(k * n);
        rows[k].insert(rows[k].end(), from, from + static_cast<std::ptrdiff_t>(n));
      }
    }
    for (const std::vector<double>& row : rows) {
      if (std::none_of(row.begin(), row.end(), [](double v) { return std::isinf(v); })) continue;
      base::status why = base::failure("the rotated intensity measures are not finite");
      why.file = x.name;
      s.messages.emplace_back(std::move(why), false);
      s.failed = true;
      return;
    }
    for (int k = 0; k < measures::rotated_rows; ++k) {
      tables::row r(s.intensity);
      tables::name_fields(r, pair_name(s, x, k));
      for (double v : rows[k]) r.number(v);
      if (o_.processing.any()) r.text(processing_words_);
      r.end();
      s.result.intensity.push_back({rotated_names[k], true, std::move(rows[k])});
    }
  }

  // In job order, one at a time.
  void deliver(std::size_t j) {
    job_state& s = *states_[j];
    for (const auto& [words, warning] : s.messages) {
      words_.report(words, warning);
      if (!warning && out_.sink) out_.sink->failed(words);
    }
    if (s.failed) failed_ = true;
    if (s.usage) usage_ = true;
    out_.table->write(s.table);
    if (out_.intensity) out_.intensity->write(s.intensity);
    if (out_.inelastic) out_.inelastic->write(s.inelastic_table);
    if (out_.fourier) out_.fourier->write(s.fourier_table);
    if (out_.sink && s.has_result) out_.sink->record(s.result);
    records_done_ += plan_.jobs[j].files.size();
    states_[j].reset();
    if (plan_.files.size() > 1) {
      words_.progress(
          records_done_, plan_.files.size(),
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
    }
  }

  const options& o_;
  edge::disk& disk_;
  reporter& words_;
  const outputs& out_;
  job_plan plan_;
  std::vector<request> requests_;
  std::vector<std::unique_ptr<job_state>> states_;
  std::size_t records_done_ = 0;
  bool failed_ = false, usage_ = false;
  std::mutex files_mutex_;
  std::vector<std::string> processing_steps_ = processing::describe(o_.processing);
  std::string processing_words_ = join(processing_steps_);
  std::chrono::steady_clock::time_point start_;
  // Where the Fourier spectra are smoothed (for the table, or the pictures).
  std::vector<double> fourier_grid_ =
      o_.fourier.grid.empty() ? fourier::parse_grid(fourier::default_grid).values : o_.fourier.grid;
  std::string fourier_note_ =
      "light: each bin of the transform; on top: Konno-Ohmachi smoothing, b = " +
      base::shortest(o_.fourier.bandwidth);
  std::mutex smoothing_mutex_;
  std::shared_ptr<const fourier::konno_ohmachi> smoothing_;
};

}  // namespace

record_list expand_lists(const std::vector<std::string>& records, edge::disk& disk) {
  record_list out;
  for (const std::string& r : records) {
    if (r.size() > 1 && r[0] == '@') {
      const std::string path = r.substr(1);
      const edge::file_content list = edge::read_file(disk, path, most_record_bytes);
      if (!list.status.ok()) {
        out.failures.push_back(list.status);
        continue;
      }
      out.lists.push_back(path);
      for (std::string& p : base::read_path_list(list.text)) out.files.push_back(std::move(p));
    } else {
      out.files.push_back(r);
    }
  }
  return out;
}

int run(const options& o, edge::disk& disk, reporter& words, const outputs& out) {
  return program(o, disk, words, out).run();
}

}  // namespace sdofspec
