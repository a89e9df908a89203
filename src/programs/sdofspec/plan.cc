#include "programs/sdofspec/plan.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "base/numbers.h"
#include "records/names.h"

namespace sdofspec {

job_plan plan_jobs(std::vector<std::string> files,
                   std::span<const std::pair<std::string, std::string>> pairs, bool rotd) {
  job_plan plan;
  plan.files = std::move(files);
  for (const auto& [a, b] : pairs) {
    for (const std::string* p : {&a, &b}) {
      if (std::find(plan.files.begin(), plan.files.end(), *p) == plan.files.end())
        plan.files.push_back(*p);
    }
  }
  const std::vector<std::string>& f = plan.files;
  std::vector<bool> taken(f.size(), false);
  std::map<std::size_t, job> by_first;
  const auto index_of = [&](const std::string& path) {
    return static_cast<std::size_t>(std::find(f.begin(), f.end(), path) - f.begin());
  };
  for (const auto& [a, b] : pairs) {
    const std::size_t i = index_of(a), j = index_of(b);
    if (taken[i] || taken[j] || i == j) continue;
    taken[i] = taken[j] = true;
    by_first[std::min(i, j)] = {.files = {i, j}, .pair = true, .given_pair = true};
  }
  if (rotd) {
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < f.size(); ++i) {
      const std::string key = records::station_key(f[i]);
      if (!taken[i] && !key.empty()) groups[key].push_back(i);
    }
    for (auto& [rsn, members] : groups) {
      if (members.size() < 2) continue;
      for (std::size_t i : members) taken[i] = true;
      by_first[members.front()] = {.files = members, .pair = true};
    }
  }
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (!taken[i]) by_first[i] = {.files = {i}, .pair = rotd};
  }
  for (auto& [first, j] : by_first) plan.jobs.push_back(std::move(j));
  return plan;
}

std::vector<request> plan_requests(std::span<const double> periods,
                                   std::span<const double> dampings) {
  std::vector<request> requests;
  for (double h : dampings) {
    request r;
    r.damping = h;
    r.periods.assign(periods.begin(), periods.end());
    std::sort(r.periods.begin(), r.periods.end());
    r.periods.erase(std::unique(r.periods.begin(), r.periods.end()), r.periods.end());
    for (double t : periods) {
      r.table.push_back(static_cast<std::size_t>(
          std::lower_bound(r.periods.begin(), r.periods.end(), t) - r.periods.begin()));
    }
    requests.push_back(std::move(r));
  }
  return requests;
}

namespace {

// Where a component was recorded: components of one place and time can make a pair.
std::string place_of(const records::component& c) {
  std::string place = c.network + "." + c.station + "." + c.location;
  if (c.start) place += "@" + std::to_string(c.start->time_since_epoch().count());
  return place;
}

// The words for components that do not make a pair.
std::string names_of(std::span<const loaded_file> files,
                     std::span<const std::pair<std::size_t, std::size_t>> members) {
  std::string names;
  for (const auto& [f, c] : members) {
    if (!names.empty()) names += ", ";
    names += files[f].path + " (" + files[f].components[c].channel + ")";
  }
  return names;
}

}  // namespace

job_units plan_units(const job& j, std::span<const loaded_file> files) {
  job_units out;
  using member = std::pair<std::size_t, std::size_t>;  // (file, component)
  const auto alone = [&](std::size_t f, std::size_t c) {
    const records::component& g = files[f].components[c];
    out.units.push_back({.file = f, .component = c, .first = g.acceleration, .dt = g.dt});
  };
  const auto warn = [&](std::string file, std::string what) {
    base::status s = base::failure(std::move(what));
    s.file = std::move(file);
    out.warnings.push_back(std::move(s));
  };
  // The candidates of each place, in the order of files and components.
  std::vector<std::pair<std::string, std::vector<member>>> places;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::vector<records::component>& g = files[f].components;
    for (std::size_t c = 0; c < g.size(); ++c) {
      const bool candidate = j.pair && (j.given_pair ? c == 0 : !g[c].vertical);
      if (!candidate) {
        alone(f, c);
        continue;
      }
      const std::string place = j.given_pair ? std::string() : place_of(g[c]);
      auto it = std::find_if(places.begin(), places.end(),
                             [&](const auto& p) { return p.first == place; });
      if (it == places.end()) it = places.insert(places.end(), {place, {}});
      it->second.emplace_back(f, c);
    }
  }
  for (const auto& [place, members] : places) {
    if (members.size() != 2) {
      for (const auto& [f, c] : members) alone(f, c);
      if (members.size() == 1) {
        warn(files[members[0].first].path,
             "component " + files[members[0].first].components[members[0].second].channel +
                 ": no horizontal component to pair with (--pair H1 H2 names a pair)");
      } else {
        warn(names_of(files, members),
             std::to_string(members.size()) +
                 " horizontal components of one place: which two make the pair is not clear "
                 "(--pair H1 H2 names them)");
      }
      continue;
    }
    const auto [f1, c1] = members[0];
    const auto [f2, c2] = members[1];
    const records::component& g1 = files[f1].components[c1];
    const records::component& g2 = files[f2].components[c2];
    const std::string& p1 = files[f1].path;
    const std::string& p2 = files[f2].path;
    const std::string names = f1 == f2 ? p1 : p1 + ", " + p2;
    if (g1.azimuth && g2.azimuth) {
      const double apart = std::fmod(std::fabs(*g1.azimuth - *g2.azimuth), 180.0);
      if (std::fabs(apart - 90) > 1) {
        alone(f1, c1);
        alone(f2, c2);
        warn(names, "azimuths " + base::shortest(*g1.azimuth) + " and " +
                        base::shortest(*g2.azimuth) +
                        " degrees are not 90 degrees apart: not a pair for rotated spectra");
        continue;
      }
    }
    if (g1.dt != g2.dt) {
      base::status s = base::failure("different intervals (" + base::shortest(g1.dt) + " and " +
                                     base::shortest(g2.dt) + " s): no rotated spectra");
      s.file = names;
      out.failures.push_back(std::move(s));
      alone(f1, c1);
      alone(f2, c2);
      continue;
    }
    const std::size_t n = std::min(g1.acceleration.size(), g2.acceleration.size());
    if (g1.acceleration.size() != g2.acceleration.size()) {
      warn(names, std::to_string(g1.acceleration.size()) + " and " +
                      std::to_string(g2.acceleration.size()) + " samples: the pair is cut to " +
                      std::to_string(n));
    }
    out.units.push_back({.file = f1,
                         .component = c1,
                         .second_file = f2,
                         .second_component = c2,
                         .pair = true,
                         .name = f1 == f2 ? p1 : p1 + "+" + p2,
                         .first = std::span<const double>(g1.acceleration).first(n),
                         .second = std::span<const double>(g2.acceleration).first(n),
                         .dt = g1.dt});
  }
  // The table goes by file and component: the units in that order.
  std::stable_sort(out.units.begin(), out.units.end(), [](const unit& a, const unit& b) {
    return std::pair(a.file, a.component) < std::pair(b.file, b.component);
  });
  return out;
}

}  // namespace sdofspec
