#include "spectra/run.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>

#include "base/numbers.h"
#include "base/paths.h"
#include "records/names.h"
#include "records/registry.h"
#include "spectra/intensity.h"
#include "spectra/rotd.h"
#include "spectra/spectrum.h"

namespace spectra {
namespace {

// Periods per task: six vectors of the widest kind.
constexpr std::size_t periods_per_task = 48;

// One record file as the job holds it.
struct loaded_file {
  std::string path;
  bool ok = false;
  std::vector<records::component> components;
};

// What gets a spectrum: one component, or a horizontal pair (with its rotated spectra).
struct unit {
  std::size_t file = 0, component = 0;
  std::size_t second_file = 0, second_component = 0;
  bool pair = false;
  std::string name;                       // the record field of its rotated rows
  std::span<const double> first, second;  // the samples (a pair's cut to one length)
  double dt = 0;
};

// Spectra to compute at one damping: the periods of the table, with rotated spectra for pairs.
struct request {
  double damping = 0;
  std::vector<double> periods;     // sorted, each once
  std::vector<std::size_t> table;  // the table's periods, in their order, as indices here
};

struct unit_result {
  std::vector<spectral_ordinate> first, second;
  std::vector<rotated_peaks> rotated;
};

struct job {
  std::vector<std::size_t> files;  // indices into the file list
  bool pair = false;               // a pair: a table record's first two components, the
                                   // horizontals of a PEER record's files, or --pair
  bool given_pair = false;         // --pair: the first component of each file
};

struct job_state {
  std::vector<loaded_file> files;
  std::vector<unit> units;
  std::vector<std::vector<unit_result>> results;             // [unit][request]
  std::vector<std::pair<std::size_t, int>> intensity_tasks;  // (unit, side)
  std::vector<std::array<spectrum_intensity_result, 2>> si;  // [unit][side]
  std::string table, intensity;
  std::vector<std::string> messages;  // for standard error, in order
  record_result result;               // for the sink
  bool has_result = false;
  bool failed = false;
  std::size_t tasks_left = 0;
  bool done = false;
};

void append_number(std::string& out, double value) {
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

class program {
 public:
  program(const options& o, environment& env, output& table, output* intensity, record_sink* sink)
      : o_(o), env_(env), table_(table), intensity_(intensity), sink_(sink) {}

  int run() {
    collect_files();
    plan_requests();
    plan_jobs();
    write_headers();
    states_.resize(jobs_.size());
    start_ = std::chrono::steady_clock::now();
    const unsigned threads = std::max(1u, o_.jobs);
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) {
      try {
        workers.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the ones running do the work
      }
    }
    work();
    for (std::thread& w : workers) w.join();
    if (!table_.finish()) fail(table_.error());
    if (intensity_ && !intensity_->finish()) fail(intensity_->error());
    return failed_ ? 1 : 0;
  }

 private:
  // The file list: the records as given, lists read, and the files of --pair.
  void collect_files() {
    for (const std::string& r : o_.records) {
      if (r.size() > 1 && r[0] == '@') {
        std::string text, why;
        if (!env_.read_file(r.substr(1), text, why)) {
          fail(r.substr(1) + ": " + why);
          continue;
        }
        for (std::string& p : base::read_path_list(text)) files_.push_back(std::move(p));
      } else {
        files_.push_back(r);
      }
    }
    for (const auto& [a, b] : o_.pairs) {
      for (const std::string* p : {&a, &b}) {
        if (std::find(files_.begin(), files_.end(), *p) == files_.end()) files_.push_back(*p);
      }
    }
  }

  void plan_requests() {
    for (double h : o_.dampings) {
      request r;
      r.damping = h;
      r.periods = o_.periods;
      std::sort(r.periods.begin(), r.periods.end());
      r.periods.erase(std::unique(r.periods.begin(), r.periods.end()), r.periods.end());
      for (double t : o_.periods) {
        r.table.push_back(static_cast<std::size_t>(
            std::lower_bound(r.periods.begin(), r.periods.end(), t) - r.periods.begin()));
      }
      requests_.push_back(std::move(r));
    }
  }

  // A job is a file, or the files that make a pair: given with --pair, or (with --rotd) the
  // AT2 files of one record of the PEER database, named RSN<number>_...
  void plan_jobs() {
    std::vector<bool> taken(files_.size(), false);
    std::map<std::size_t, job> by_first;
    const auto index_of = [&](const std::string& path) {
      return static_cast<std::size_t>(std::find(files_.begin(), files_.end(), path) -
                                      files_.begin());
    };
    for (const auto& [a, b] : o_.pairs) {
      const std::size_t i = index_of(a), j = index_of(b);
      if (taken[i] || taken[j] || i == j) continue;
      taken[i] = taken[j] = true;
      by_first[std::min(i, j)] = {{i, j}, true, true};
    }
    if (o_.rotd) {
      std::map<std::string, std::vector<std::size_t>> groups;
      for (std::size_t i = 0; i < files_.size(); ++i) {
        const std::string rsn = records::record_sequence_number(files_[i]);
        if (!taken[i] && !rsn.empty()) groups[rsn].push_back(i);
      }
      for (auto& [rsn, members] : groups) {
        if (members.size() < 2) continue;
        for (std::size_t i : members) taken[i] = true;
        by_first[members.front()] = {members, true, false};
      }
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (!taken[i]) by_first[i] = {{i}, o_.rotd, false};
    }
    for (auto& [first, j] : by_first) jobs_.push_back(std::move(j));
  }

  void write_headers() {
    std::string header = "record,component,damping,period_s,sd_cm,sv_cm_s,sa_g,psv_cm_s,psa_g";
    if (o_.energy) header += ",ve_rel_cm_s,ve_abs_cm_s";
    if (o_.rotd || !o_.pairs.empty()) header += ",rotd00_angle_deg,rotd100_angle_deg";
    table_.write(header + "\n");
    if (intensity_) {
      intensity_->write(
          "record,component,pga_g,pgv_cm_s,pgd_cm,arias_m_s,d5_75_s,d5_95_s,cav_g_s,si_cm\n");
    }
  }

  // Before the workers start or after they end: jobs report through their own state.
  void fail(const std::string& what) {
    env_.report("sdofspec: " + what);
    failed_ = true;
  }

  // The worker loop: tasks of jobs already read first, then the next job, within a bound on
  // the jobs held at once; finished jobs are written in order.
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!queue_.empty()) {
        const auto [state, task] = queue_.front();
        queue_.pop_front();
        lock.unlock();
        execute(*state, task);
        lock.lock();
        if (--state->tasks_left == 0) finish_job(*state, lock);
        continue;
      }
      const std::size_t limit = std::max<std::size_t>(2, 2 * o_.jobs);
      if (next_job_ < jobs_.size() && next_job_ - written_ < limit) {
        const std::size_t j = next_job_++;
        lock.unlock();
        auto state = std::make_unique<job_state>();
        std::vector<std::size_t> tasks = load(jobs_[j], *state);
        job_state* s = state.get();
        lock.lock();
        states_[j] = std::move(state);
        s->tasks_left = tasks.size();
        for (std::size_t t : tasks) queue_.emplace_back(s, t);
        if (tasks.empty()) finish_job(*s, lock);
        wake_.notify_all();
        continue;
      }
      if (written_ == jobs_.size()) {
        wake_.notify_all();
        return;
      }
      wake_.wait(lock);
    }
  }

  // Assembles a job's text, then writes every finished job that is next in order.
  void finish_job(job_state& state, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    assemble(state);
    lock.lock();
    state.done = true;
    while (written_ < jobs_.size() && states_[written_] && states_[written_]->done) {
      job_state& s = *states_[written_];
      for (const std::string& m : s.messages) env_.report(m);
      if (s.failed) failed_ = true;
      table_.write(s.table);
      if (intensity_) intensity_->write(s.intensity);
      if (sink_ && s.has_result) sink_->record(s.result);
      records_done_ += jobs_[written_].files.size();
      states_[written_].reset();
      ++written_;
      if (files_.size() > 1) {
        env_.progress(
            records_done_, files_.size(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
      }
    }
    wake_.notify_all();
  }

  // Reads the job's files and lists its tasks: (unit, request, chunk of periods), numbered.
  std::vector<std::size_t> load(const job& j, job_state& s) {
    for (std::size_t i : j.files) {
      loaded_file f;
      f.path = files_[i];
      std::string text, why;
      if (!env_.read_file(f.path, text, why)) {
        s.messages.push_back("sdofspec: " + f.path + ": " + why);
        s.failed = true;
      } else {
        records::read_result r = records::read_any(text, {.units = o_.units});
        if (!r.ok()) {
          s.messages.push_back("sdofspec: " + f.path + ":" + std::to_string(r.status.line) + ": " +
                               r.status.what);
          s.failed = true;
        } else {
          f.ok = true;
          f.components = std::move(r.components);
        }
      }
      s.files.push_back(std::move(f));
    }
    plan_units(j, s);
    s.results.assign(s.units.size(), std::vector<unit_result>(requests_.size()));
    std::vector<std::size_t> tasks;
    std::size_t number = 0;
    for (std::size_t u = 0; u < s.units.size(); ++u) {
      for (std::size_t r = 0; r < requests_.size(); ++r) {
        unit_result& out = s.results[u][r];
        const std::size_t n = requests_[r].periods.size();
        out.first.resize(n);
        if (s.units[u].pair) {
          out.second.resize(n);
          out.rotated.resize(n);
        }
        for (std::size_t from = 0; from < n; from += periods_per_task) tasks.push_back(number++);
      }
    }
    // The spectrum intensity of each component: a task of its own, as it takes longer than
    // the rest of the component's spectra (thousands of periods against the table's).
    if (o_.intensity_measures) {
      s.si.resize(s.units.size());
      for (std::size_t u = 0; u < s.units.size(); ++u) {
        for (int side = 0; side < (s.units[u].pair ? 2 : 1); ++side) {
          s.intensity_tasks.emplace_back(u, side);
          tasks.push_back(number++);
        }
      }
    }
    return tasks;
  }

  void plan_units(const job& j, job_state& s) {
    std::vector<std::pair<std::size_t, std::size_t>> in_pair;  // (file, component)
    for (std::size_t f = 0; f < s.files.size(); ++f) {
      if (!s.files[f].ok) continue;
      const std::vector<records::component>& g = s.files[f].components;
      for (std::size_t c = 0; c < g.size(); ++c) {
        const bool paired = j.pair && (j.given_pair ? c == 0 : !g[c].vertical);
        if (paired) {
          in_pair.emplace_back(f, c);
        } else {
          s.units.push_back({f, c, 0, 0, false, {}, g[c].acceleration, {}, g[c].dt});
        }
      }
    }
    if (in_pair.size() == 2) {
      const auto [f1, c1] = in_pair[0];
      const auto [f2, c2] = in_pair[1];
      const records::component& g1 = s.files[f1].components[c1];
      const records::component& g2 = s.files[f2].components[c2];
      const std::string& p1 = s.files[f1].path;
      const std::string& p2 = s.files[f2].path;
      const std::string names = f1 == f2 ? p1 : p1 + ", " + p2;
      if (g1.dt != g2.dt) {
        s.messages.push_back("sdofspec: " + names + ": different intervals (" + shortest(g1.dt) +
                             " and " + shortest(g2.dt) + " s): no rotated spectra");
        s.failed = true;
      } else {
        const std::span<const double> a1 = g1.acceleration;
        const std::span<const double> a2 = g2.acceleration;
        const std::size_t n = std::min(a1.size(), a2.size());
        if (a1.size() != a2.size()) {
          s.messages.push_back("sdofspec: warning: " + names + ": " + std::to_string(a1.size()) +
                               " and " + std::to_string(a2.size()) +
                               " samples: the pair is cut to " + std::to_string(n));
        }
        s.units.push_back(
            {f1, c1, f2, c2, true, f1 == f2 ? p1 : p1 + "+" + p2, a1.first(n), a2.first(n), g1.dt});
        in_pair.clear();
      }
    }
    for (const auto& [f, c] : in_pair) {
      const records::component& g = s.files[f].components[c];
      s.units.push_back({f, c, 0, 0, false, {}, g.acceleration, {}, g.dt});
    }
    // The table goes by file and component: keep the units in that order.
    std::stable_sort(s.units.begin(), s.units.end(), [](const unit& a, const unit& b) {
      return std::pair(a.file, a.component) < std::pair(b.file, b.component);
    });
  }

  void execute(job_state& s, std::size_t task) {
    for (std::size_t u = 0; u < s.units.size(); ++u) {
      for (std::size_t r = 0; r < requests_.size(); ++r) {
        const std::vector<double>& all = requests_[r].periods;
        const std::size_t chunks = (all.size() + periods_per_task - 1) / periods_per_task;
        if (task >= chunks) {
          task -= chunks;
          continue;
        }
        const std::size_t from = task * periods_per_task;
        const std::size_t to = std::min(all.size(), from + periods_per_task);
        const std::span<const double> periods(all.data() + from, to - from);
        const unit& x = s.units[u];
        unit_result& out = s.results[u][r];
        const double h = requests_[r].damping;
        if (x.pair) {
          pair_spectrum p =
              response_spectrum_of_pair(x.first, x.second, x.dt, periods, h, o_.energy);
          std::copy(p.first.begin(), p.first.end(), out.first.begin() + from);
          std::copy(p.second.begin(), p.second.end(), out.second.begin() + from);
          std::copy(p.rotated.begin(), p.rotated.end(), out.rotated.begin() + from);
        } else {
          const auto o = response_spectrum(x.first, x.dt, periods, h, o_.energy);
          std::copy(o.begin(), o.end(), out.first.begin() + from);
        }
        return;
      }
    }
    const auto [u, side] = s.intensity_tasks[task];
    const unit& x = s.units[u];
    s.si[u][side] = spectrum_intensity(side == 0 ? x.first : x.second, x.dt, o_.si_tolerance);
  }

  // A component's row, or with rotated set a rotated row: Sd, PSv and PSa of o, and the angles.
  void table_row(std::string& out, std::string_view record, std::string_view component,
                 double damping, double period, const spectral_ordinate& o,
                 const rotated_peaks* rotated) {
    out += record;
    out += ',';
    out += component;
    out += ',';
    append_number(out, damping);
    out += ',';
    append_number(out, period);
    if (!rotated) {
      for (double v : {o.sd, o.sv, o.sa, o.psv, o.psa}) {
        out += ',';
        append_number(out, v);
      }
      if (o_.energy) {
        for (double v : {o.relative_energy_velocity, o.absolute_energy_velocity}) {
          out += ',';
          append_number(out, v);
        }
      }
      if (o_.rotd || !o_.pairs.empty()) out += ",,";
    } else {
      out += ',';
      append_number(out, o.sd);
      out += ",,,";
      append_number(out, o.psv);
      out += ',';
      append_number(out, o.psa);
      if (o_.energy) out += ",,";
      out += ',';
      append_number(out, rotated->angle00);
      out += ',';
      append_number(out, rotated->angle100);
    }
    out += '\n';
  }

  void intensity_row(std::string& out, std::string_view record, std::string_view component,
                     const intensity_measures* m, double pga, double pgv, double pgd, double si) {
    out += record;
    out += ',';
    out += component;
    for (double v : {pga, pgv, pgd}) {
      out += ',';
      append_number(out, v);
    }
    if (m) {
      for (double v : {m->arias, m->d5_75, m->d5_95, m->cav}) {
        out += ',';
        append_number(out, v);
      }
    } else {
      out += ",,,,";
    }
    out += ',';
    if (!std::isnan(si)) append_number(out, si);
    out += '\n';
  }

  void assemble(job_state& s) {
    const std::string csv_names[3] = {"RotD00", "RotD50", "RotD100"};
    for (const loaded_file& f : s.files) {
      if (!f.ok) continue;
      s.result.name += (s.result.name.empty() ? "" : "+") + f.path;
      s.has_result = true;
    }
    for (std::size_t f = 0; f < s.files.size(); ++f) {
      if (!s.files[f].ok) continue;
      const std::string record = csv_field(s.files[f].path);
      const std::vector<records::component>& components = s.files[f].components;
      for (std::size_t c = 0; c < components.size(); ++c) {
        const records::component& g = components[c];
        // The unit that holds this component, and which side of it.
        std::size_t u = 0;
        int side = -1;
        for (std::size_t k = 0; k < s.units.size(); ++k) {
          const unit& x = s.units[k];
          if (x.file == f && x.component == c) side = 0;
          if (x.pair && x.second_file == f && x.second_component == c) side = 1;
          if (side >= 0) {
            u = k;
            break;
          }
        }
        if (side < 0) continue;
        const std::string component = csv_field(g.channel);
        for (std::size_t r = 0; r < o_.dampings.size(); ++r) {
          const unit_result& res = s.results[u][r];
          const auto& ordinates = side == 0 ? res.first : res.second;
          record_result::curve curve{g.channel, requests_[r].damping, o_.periods, {}};
          for (std::size_t p = 0; p < o_.periods.size(); ++p) {
            const spectral_ordinate& o = ordinates[requests_[r].table[p]];
            table_row(s.table, record, component, requests_[r].damping, o_.periods[p], o, nullptr);
            curve.ordinates.push_back(o);
          }
          if (sink_) s.result.curves.push_back(std::move(curve));
        }
        if (o_.intensity_measures) {
          const auto& a = g.acceleration;
          const ground_histories ground = integrate(a, g.dt, o_.detrend);
          const intensity_measures m = intensity(a, g.dt, ground);
          const spectrum_intensity_result& r = s.si[u][side];
          if (!(r.halving_change < o_.si_tolerance)) {
            s.messages.push_back("sdofspec: warning: " + s.files[f].path + ": " + g.channel +
                                 ": the spectrum intensity on " + std::to_string(r.intervals) +
                                 " intervals changes by " + shortest(r.halving_change) +
                                 " relative when they are halved");
          }
          const double si = r.si;
          intensity_row(s.intensity, record, component, &m, m.pga, m.pgv, m.pgd, si);
          s.result.intensity.push_back(
              {g.channel, m.pga, m.pgv, m.pgd, m.arias, m.d5_75, m.d5_95, m.cav, si});
        }
      }
    }
    for (std::size_t u = 0; u < s.units.size(); ++u) {
      const unit& x = s.units[u];
      if (!x.pair) continue;
      const std::string record = csv_field(x.name);
      for (int k = 0; k < 3; ++k) {
        for (std::size_t r = 0; r < o_.dampings.size(); ++r) {
          const unit_result& res = s.results[u][r];
          record_result::curve curve{csv_names[k], requests_[r].damping, o_.periods, {}, true};
          for (std::size_t p = 0; p < o_.periods.size(); ++p) {
            const rotated_peaks& q = res.rotated[requests_[r].table[p]];
            const double value = k == 0 ? q.rotd00 : k == 1 ? q.rotd50 : q.rotd100;
            const spectral_ordinate o = pseudo_ordinate(value, o_.periods[p]);
            table_row(s.table, record, csv_names[k], requests_[r].damping, o_.periods[p], o, &q);
            curve.ordinates.push_back(o);
          }
          if (sink_ && k == 1) s.result.curves.push_back(std::move(curve));
        }
      }
      if (o_.intensity_measures) {
        const ground_histories g1 = integrate(x.first, x.dt, o_.detrend);
        const ground_histories g2 = integrate(x.second, x.dt, o_.detrend);
        const std::size_t n = x.first.size();
        const rotated_peaks pga = rotated_peaks_of(x.first.data(), x.second.data(), n);
        const rotated_peaks pgv = rotated_peaks_of(g1.velocity.data(), g2.velocity.data(), n);
        const rotated_peaks pgd =
            rotated_peaks_of(g1.displacement.data(), g2.displacement.data(), n);
        for (int k = 0; k < 3; ++k) {
          const auto pick = [&](const rotated_peaks& p) {
            return k == 0 ? p.rotd00 : k == 1 ? p.rotd50 : p.rotd100;
          };
          // Rotated spectra are at the table's periods only: no spectrum intensity.
          const double si = NAN;
          intensity_row(s.intensity, record, csv_names[k], nullptr,
                        pick(pga) / base::standard_gravity, pick(pgv), pick(pgd), si);
          s.result.intensity.push_back({csv_names[k], pick(pga) / base::standard_gravity, pick(pgv),
                                        pick(pgd), NAN, NAN, NAN, NAN, si});
        }
      }
    }
    // Free the samples now: the text is all that is left to write.
    s.units.clear();
    s.results.clear();
    s.files.clear();
  }

  const options& o_;
  environment& env_;
  output& table_;
  output* intensity_;
  record_sink* sink_;
  std::vector<std::string> files_;
  std::vector<request> requests_;
  std::vector<job> jobs_;
  std::vector<std::unique_ptr<job_state>> states_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<job_state*, std::size_t>> queue_;
  std::size_t next_job_ = 0, written_ = 0, records_done_ = 0;
  bool failed_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

std::string shortest(double value) {
  std::string s;
  append_number(s, value);
  return s;
}

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\n\r") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

int run(const options& o, environment& env, output& table, output* intensity, record_sink* sink) {
  return program(o, env, table, intensity, sink).run();
}

}  // namespace spectra
