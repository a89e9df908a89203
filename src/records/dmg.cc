#include "records/dmg.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/fortran_format.h"

namespace records {
namespace {

constexpr fortran_format integer_format{.count = 16, .kind = 'I', .width = 5};
constexpr fortran_format real_format{.count = 8, .kind = 'F', .width = 10};
constexpr double unknown = -999;

std::string_view first_line_of(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

bool has_letter(std::string_view line) {
  for (char c : line) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  }
  return false;
}

// The unit of a data line: " ... in cm/sec2. (8f10.6)" (V2), " ... in units of g ." (V1).
struct unit_read {
  std::string name;
  double in_gal = 0;
};
std::optional<unit_read> unit_of(std::string_view line) {
  std::string_view word = word_after(line, "units of ");
  if (word.empty()) word = word_after(line, ", in ");
  while (!word.empty() && (word.back() == '.' || word.back() == ',')) word.remove_suffix(1);
  const std::string w = base::lower(word);
  if (w == "g/10") return unit_read{"g/10", base::standard_gravity / 10};
  if (w == "cm/sec/sec") return unit_read{"cm/s2", 1};
  if (const auto u = base::parse_unit(w)) {
    return unit_read{std::string(base::unit_name(*u)), base::in_gal(*u)};
  }
  return std::nullopt;
}

// The interval a data line states: "equally spaced at  .005 sec" or "at 200 pts/sec"; with the
// precision of its digits.
struct interval_read {
  double dt = 0;
  double precision = 0;  // half a unit of the last digit printed
};
std::optional<interval_read> interval_of(std::string_view line) {
  const std::string l = base::lower(line);
  std::string_view number;
  bool rate = false;
  if (const std::size_t at = l.find("spaced at"); at != std::string::npos) {
    number = word_after(line.substr(at + 9), "");
  } else if (const std::size_t per = l.find(" pts/sec"); per != std::string::npos) {
    std::size_t start = per;
    while (start > 0 && line[start - 1] != ' ') --start;
    number = line.substr(start, per - start);
    rate = true;
  }
  const std::optional<double> v = base::parse_decimal(number);
  if (!v || !(*v > 0)) return std::nullopt;
  const std::size_t point = number.find('.');
  const int decimals =
      point == std::string_view::npos ? 0 : static_cast<int>(number.size() - point - 1);
  return interval_read{.dt = rate ? 1 / *v : *v, .precision = 0.5 * std::pow(10.0, -decimals)};
}

// "Start time:  2/13/12, 21:06:45.0 UTC (GPS)": two-digit years from 1930 to 2029; UTC or
// GMT, or Pacific time (PST, PDT) turned into UTC.
std::optional<base::utc_time> start_of(std::string_view line, bool& unknown_zone) {
  const std::size_t at = line.find("Start time:");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = base::trim(line.substr(at + 11));
  int month = 0, day = 0, year = 0, hour = 0, minute = 0;
  const auto number = [&rest](int& n, char after) {
    std::size_t k = 0;
    while (k < rest.size() && k < 4 && rest[k] >= '0' && rest[k] <= '9') ++k;
    const auto v = base::parse_integer(rest.substr(0, k), 0, 9999);
    if (!v || k >= rest.size() || rest[k] != after) return false;
    n = static_cast<int>(*v);
    rest = base::trim(rest.substr(k + 1));
    return true;
  };
  if (!number(month, '/') || !number(day, '/') || !number(year, ',') || !number(hour, ':') ||
      !number(minute, ':')) {
    return std::nullopt;
  }
  const std::size_t blank = rest.find(' ');
  const std::optional<double> second = base::parse_decimal(rest.substr(0, blank));
  if (!second || blank == std::string_view::npos) return std::nullopt;
  const std::string_view zone = word_after(rest, " ");
  int behind_utc = 0;
  if (zone == "PST") {
    behind_utc = 8;
  } else if (zone == "PDT") {
    behind_utc = 7;
  } else if (zone != "UTC" && zone != "GMT") {
    unknown_zone = true;
    return std::nullopt;
  }
  if (year < 100) year += year < 30 ? 2000 : 1900;
  const auto local = base::make_utc(year, month, day, hour, minute, *second);
  if (!local) return std::nullopt;
  return *local + std::chrono::hours(behind_utc);
}

struct channel_layout {
  std::size_t text_lines;
  std::size_t reals;
  std::size_t shift;  // lines before the record id's line, beyond V1's
};
constexpr channel_layout volume_2{.text_lines = 25, .reals = 100, .shift = 1};
constexpr channel_layout volume_1{.text_lines = 13, .reals = 50, .shift = 0};

// The text's names: the record id ("15481673.CI.WLT.--.HN" gives event, network, station and
// location), the station, the channel's name and the origin.
void read_names(const std::vector<std::string_view>& text, std::size_t shift, component& c) {
  // "Station No. 89146   40.941N, ..." or "Station Id. WLT     34.009N, ..."
  const std::string_view station_line = text[4 + shift];
  if (station_line.starts_with("Station ")) {
    c.station = std::string(word_after(station_line.substr(8), " "));
  }
  const std::string_view id = word_after(text[3 + shift], "");
  const std::vector<std::string_view> parts = base::split(id, '.');
  if (parts.size() == 5) {
    c.event = std::string(parts[0]);
    c.network = std::string(parts[1]);
    c.station = std::string(parts[2]);
    if (parts[3] != "--") c.location = std::string(parts[3]);
  } else {
    // "(Origin:  To be determined)" names none.
    const std::string_view line = text[2 + shift];
    const std::size_t origin = line.find("(Origin:");
    if (origin != std::string_view::npos) {
      std::string_view o = line.substr(origin + 8);
      o = base::trim(o.substr(0, o.find(')')));
      if (!o.starts_with("To be determined")) c.event = std::string(o);
    }
  }
  // "Chan  1: 360 Deg", "Chan  2:  Up"
  std::string_view name = text[6 + shift];
  const std::size_t colon = name.find(':');
  if (name.starts_with("Chan") && colon != std::string_view::npos) {
    name = base::trim(name.substr(colon + 1));
    if (name.ends_with("Deg") || name.ends_with("deg"))
      name = base::trim(name.substr(0, name.size() - 3));
    c.channel = std::string(name);
  }
}

base::status read_channel(line_reader& lines, const read_options& options, read_result& result) {
  const std::string_view first = lines.next();
  const std::size_t first_line = lines.line();
  const std::string marker = base::lower(first);
  const channel_layout* layout = nullptr;
  if (marker.find("uncorrected accelerogram") != std::string::npos) {
    layout = &volume_1;
  } else if (marker.find("corrected accelerogram") != std::string::npos) {
    layout = &volume_2;
  } else if (marker.find("response") != std::string::npos) {
    return base::failure_at_line(first_line, "response and Fourier spectra (V3), not a record");
  } else {
    return base::failure_at_line(first_line,
                                 "expected a channel's first line: 'Corrected accelerogram ...' "
                                 "(V2) or 'Uncorrected Accelerogram Data ...' (V1)");
  }
  std::vector<std::string_view> text{first};
  while (text.size() < layout->text_lines) {
    if (lines.at_end())
      return base::failure_at_line(lines.line(), "the file ends in a text header");
    text.push_back(lines.next());
  }
  header_values integers, reals;
  if (auto s =
          read_header(lines, integer_format, 100, unknown, "integer-header values", integers)) {
    return s;
  }
  if (auto s =
          read_header(lines, real_format, layout->reals, unknown, "real-header values", reals)) {
    return s;
  }
  for (;;) {
    if (lines.at_end()) break;
    const std::string_view line = lines.next();
    const std::size_t line_number = lines.line();
    if (base::trim(line).starts_with("/&")) break;
    if (!has_letter(line)) {
      return base::failure_at_line(
          line_number, layout == &volume_1
                           ? "times and values of an analog record, unevenly spaced: not read"
                           : "expected a line such as ' 12000 points of accel data equally "
                             "spaced at  .005 sec, in cm/sec2. (8f10.6)'");
    }
    const std::optional<std::size_t> samples =
        leading_count(line, std::numeric_limits<std::size_t>::max() / 16);
    const std::optional<fortran_format> format = find_fortran_format(line);
    const std::string words = base::lower(line);
    if (!samples || !format || words.find("points") == std::string::npos) {
      return base::failure_at_line(line_number,
                                   "expected a line such as ' 12000 points of accel data equally "
                                   "spaced at  .005 sec, in cm/sec2. (8f10.6)' or the channel's "
                                   "end, '/&'");
    }
    if (words.find("accel") == std::string::npos) {
      if (auto s = skip_values(lines, *format, *samples, "values")) return s;
      continue;
    }
    const std::optional<unit_read> unit = unit_of(line);
    if (!unit) {
      return base::failure_at_line(line_number,
                                   "no unit of acceleration read here (g, g/10, cm/sec2, gal) "
                                   "on this line");
    }
    const std::optional<interval_read> stated = interval_of(line);
    // Real header 61 (V2) holds the interval to more digits than the line prints.
    const double header_dt = layout == &volume_2 ? reals.at(61).value_or(0) : 0;
    if (!stated && !(header_dt > 0)) {
      return base::failure_at_line(line_number, "no sampling interval on this line");
    }
    if (*samples > options.most_samples) {
      return base::failure_at_line(line_number,
                                   std::to_string(*samples) + " samples: more than the " +
                                       std::to_string(options.most_samples) +
                                       " a component may have",
                                   0, base::code::limit);
    }
    if (*samples < 2) return base::failure_at_line(line_number, "fewer than two samples");
    component c;
    c.first_line = line_number + 1;
    if (auto s = read_values(lines, *format, *samples, c.acceleration, "acceleration values")) {
      return s;
    }
    if (auto s = scale_samples(c.acceleration, unit->in_gal, {unknown}, c.first_line, *format)) {
      return s;
    }
    c.unit = unit->name;
    c.dt = header_dt > 0 ? header_dt : stated->dt;
    if (stated && std::abs(c.dt - stated->dt) > stated->precision) {
      result.warnings.push_back(
          base::failure_at_line(line_number, "the interval here differs from real header 61 (" +
                                                 base::shortest(c.dt) + " s, the one used)"));
    }
    read_names(text, layout->shift, c);
    const std::optional<int> direction = integers.whole(27, 0, 1000);
    if (direction && *direction >= 1 && *direction <= 360) c.azimuth = *direction % 360;
    c.vertical = direction == 500 || direction == 600;
    if (c.channel.empty()) c.channel = direction ? std::to_string(*direction) : "1";
    bool unknown_zone = false;
    c.start = start_of(text[3 + layout->shift], unknown_zone);
    if (unknown_zone) {
      result.warnings.push_back(base::failure_at_line(
          first_line + 3 + layout->shift, "a start time in a time zone not read here: none kept"));
    }
    result.components.push_back(std::move(c));
  }
  return {};
}

}  // namespace

bool is_dmg(std::string_view head) {
  const std::string first = base::lower(first_line_of(head));
  const std::size_t next = head.find('\n');
  const std::string second =
      next == std::string_view::npos ? "" : base::lower(first_line_of(head.substr(next + 1)));
  constexpr std::string_view v1 = "uncorrected accelerogram data";
  if (first.find(v1) != std::string::npos) return true;
  if (first.find("corrected accelerogram") != std::string::npos) {
    return second.find(v1) != std::string::npos;
  }
  return first.find("response and fourier amplitude spectra") != std::string::npos;
}

read_result read_dmg(std::string_view bytes, const read_options& options) {
  read_result result;
  line_reader lines(bytes);
  for (;;) {
    while (!lines.at_end() && base::trim(lines.peek()).empty()) lines.next();
    if (lines.at_end()) break;
    if (base::status s = read_channel(lines, options, result)) return refused(std::move(s));
  }
  if (result.components.empty()) {
    return refused(base::failure_at_line(1, "no acceleration in the file"));
  }
  return result;
}

}  // namespace records
