#include "records/cosmos.h"

#include <limits>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/fortran_format.h"

namespace records {
namespace {

// The most values a header of a block may have (the format has 100 of each).
constexpr std::size_t most_header_values = 1000;

// Line 13: "Values used when parameter or data value is unknown/unspecified:   -999, -999.0".
// The integer and the real value after the last colon; -999 where the line gives none.
void read_unknown_values(std::string_view line, double& integer, double& real) {
  integer = real = -999;
  const std::size_t colon = line.rfind(':');
  if (colon == std::string_view::npos) return;
  const std::vector<std::string_view> parts = base::split(line.substr(colon + 1), ',');
  if (const auto v = base::parse_decimal(base::trim(parts[0]))) integer = *v;
  if (parts.size() > 1) {
    if (const auto v = base::parse_decimal(base::trim(parts[1]))) real = *v;
  }
}

// cm/s2 per unit of a COSMOS units code (its Table 2), for the codes of acceleration.
struct unit_code {
  int code;
  const char* name;
  double in_gal;
};
constexpr unit_code acceleration_units[] = {
    {2, "g", base::standard_gravity},
    {4, "cm/s2", 1},
    {7, "in/s2", 2.54},
    {10, "gal", 1},
    {11, "mg", base::standard_gravity / 1000},
    {12, "ug", base::standard_gravity / 1e6},
};

// Integer header 54: the channel's orientation and the name it gives the channel.
struct orientation {
  std::optional<double> azimuth;
  bool vertical = false;
  std::string name;
};
orientation orientation_of(int code) {
  if (code >= 1 && code <= 360) return {.azimuth = code % 360, .name = std::to_string(code)};
  switch (code) {
    case 400:
      return {.vertical = true, .name = "Up"};
    case 401:
      return {.vertical = true, .name = "Down"};
    case 402:
      return {.vertical = true, .name = "Vertical"};
    case 500:
      return {.name = "Radial"};
    case 501:
      return {.name = "Transverse"};
    case 600:
      return {.name = "Longitudinal"};
    case 601:
      return {.name = "Tangential"};
    case 700:
      return {.name = "H1"};
    case 701:
      return {.name = "H2"};
  }
  return {};
}

// A header's count line, " 100 Integer-header values follow on  10 lines, Format= (10I8)", and
// the values that follow it.
base::status read_counted_header(line_reader& lines, std::string_view what, double unknown,
                                 header_values& header) {
  const std::string_view line = lines.next();
  const std::optional<std::size_t> count = leading_count(line, most_header_values);
  const std::optional<fortran_format> format = find_fortran_format(line);
  if (!count || !format) {
    return base::failure_at_line(lines.line(), "expected the count and format of the " +
                                                   std::string(what) +
                                                   ", as in ' 100 ... values follow on 10 "
                                                   "lines, Format= (10I8)'");
  }
  // "on  10 lines": where the line says it, it must agree with the count and the format.
  const std::size_t on = base::lower(line).find(" on ");
  if (on != std::string_view::npos) {
    const auto stated = leading_count(line.substr(on + 4), 100000);
    const auto per_line = static_cast<std::size_t>(format->count);
    const std::size_t needed = *count / per_line + (*count % per_line != 0 ? 1 : 0);
    if (stated && *stated != needed) {
      return base::failure_at_line(lines.line(), std::to_string(*count) + " " + std::string(what) +
                                                     " take " + std::to_string(needed) +
                                                     " lines, not " + std::to_string(*stated));
    }
  }
  return read_header(lines, *format, *count, unknown, what, header);
}

// One block: a component in `result` when it holds acceleration.
base::status read_block(line_reader& lines, const read_options& options, read_result& result) {
  const std::string_view first = lines.next();
  const std::size_t first_line = lines.line();
  if (first.find("(Format v") == std::string_view::npos) {
    return base::failure_at_line(first_line,
                                 "expected the first line of a block, with '(Format v' as in "
                                 "'Corrected acceleration    (Format v01.20 with 13 text lines)'");
  }
  if (holds(first.substr(0, 25), "spectr")) {
    return base::failure_at_line(first_line, "response spectra, not a record");
  }
  const std::optional<std::size_t> text_lines = leading_count(word_after(first, " with "), 99);
  if (!text_lines || *text_lines < 1 || !holds(first, "text lines")) {
    return base::failure_at_line(first_line, "expected 'with NN text lines' on the first line");
  }
  std::vector<std::string_view> text{first};
  while (text.size() < *text_lines) {
    if (lines.at_end())
      return base::failure_at_line(lines.line(), "the file ends in a text header");
    text.push_back(lines.next());
  }
  double unknown_integer = -999, unknown_real = -999;
  if (text.size() >= 13) read_unknown_values(text[12], unknown_integer, unknown_real);

  header_values integers, reals;
  if (auto s = read_counted_header(lines, "integer-header values", unknown_integer, integers)) {
    return s;
  }
  if (auto s = read_counted_header(lines, "real-header values", unknown_real, reals)) return s;

  // Comments: a count line, then as many lines; the <SCNL> tag names station, channel,
  // network and location ("|<SCNL>BMR.BNZ.AK.--    <AUTH> ...").
  const std::string_view count_line = lines.next();
  const std::optional<std::size_t> comments = leading_count(count_line, 1'000'000);
  if (!comments || !holds(count_line, "comment")) {
    return base::failure_at_line(lines.line(),
                                 "expected the count of comment lines, as in '  2 Comment "
                                 "line(s) follow, each starting with a \"|\":'");
  }
  std::vector<std::string_view> scnl;
  for (std::size_t k = 0; k < *comments; ++k) {
    if (lines.at_end()) return base::failure_at_line(lines.line(), "the file ends in the comments");
    const std::string_view comment = lines.next();
    const std::string_view tag = word_after(comment, "<SCNL>");
    if (!tag.empty()) scnl = base::split(tag, '.');
  }

  // The data line: "   7000  acceleration pts, approx   70 secs,
  // units=cm/sec2(04),Format=(8F10.5)".
  const std::string_view data_line = lines.next();
  const std::size_t data_line_number = lines.line();
  const std::optional<std::size_t> samples =
      leading_count(data_line, std::numeric_limits<std::size_t>::max() / 16);
  const std::optional<fortran_format> format = find_fortran_format(data_line);
  if (!samples || !format) {
    return base::failure_at_line(data_line_number,
                                 "expected the count and format of the data, as in '   7000  "
                                 "acceleration pts, approx   70 secs, units=cm/sec2(04),"
                                 "Format=(8F10.5)'");
  }
  const std::optional<int> parameter = integers.whole(2, 0, 1000);
  const bool acceleration = parameter ? *parameter == 1 : holds(data_line, "acceleration");
  if (!acceleration) {
    if (auto s = skip_values(lines, *format, *samples, "values")) return s;
  } else {
    // The units code: integer header 3, or the one in parentheses after "units=".
    std::optional<int> code = integers.whole(3, 0, 1000);
    const std::size_t units = base::lower(data_line).find("units=");
    if (units != std::string_view::npos) {
      const std::size_t open = data_line.find('(', units);
      const std::size_t close = data_line.find(')', units);
      if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
        const auto on_line =
            base::parse_integer(base::trim(data_line.substr(open + 1, close - open - 1)), 0, 1000);
        if (on_line && code && *on_line != *code) {
          return base::failure_at_line(data_line_number, "units code " + std::to_string(*on_line) +
                                                             " here but " + std::to_string(*code) +
                                                             " in integer header 3");
        }
        if (on_line) code = static_cast<int>(*on_line);
      }
    }
    const unit_code* unit = nullptr;
    for (const unit_code& u : acceleration_units) {
      if (code && u.code == *code) unit = &u;
    }
    if (!unit) {
      return base::failure_at_line(
          data_line_number, !code ? std::string("the file gives no units code for its data")
                            : *code == 50
                                ? std::string("the data are counts (units code 50): read the "
                                              "record's V1 or V2 file, in units of acceleration")
                                : "units code " + std::to_string(*code) +
                                      " is not a unit of acceleration read here (2 g, 4 cm/s2, "
                                      "7 in/s2, 10 gal, 11 mg, 12 ug)");
    }
    const std::optional<double> interval = reals.at(62);
    if (!interval || !(*interval > 0)) {
      return base::failure_at_line(
          reals.values.size() >= 62 ? reals.line_of(62) : reals.first_line - 1,
          "the sampling interval (real header 62, in ms) is unknown");
    }
    if (*samples > options.most_samples) {
      return base::failure_at_line(data_line_number,
                                   std::to_string(*samples) + " samples: more than the " +
                                       std::to_string(options.most_samples) +
                                       " a component may have",
                                   0, base::code::limit);
    }
    if (*samples < 2) return base::failure_at_line(data_line_number, "fewer than two samples");

    component c;
    c.first_line = data_line_number + 1;
    if (auto s = read_values(lines, *format, *samples, c.acceleration, "acceleration values")) {
      return s;
    }
    if (auto s =
            scale_samples(c.acceleration, unit->in_gal, {unknown_real}, c.first_line, *format)) {
      return s;
    }
    c.dt = *interval / 1000;
    c.unit = unit->name;
    if (scnl.size() == 4) {
      c.station = std::string(scnl[0]);
      c.channel = std::string(scnl[1]);
      c.network = std::string(scnl[2]);
      if (scnl[3] != "--") c.location = std::string(scnl[3]);
    } else if (text.size() >= 5) {
      // "Statn No: 01-23075  Code:CE-J2236  CDMG Yucaipa - Bryant & Oak Glen"
      const std::string_view code_word = word_after(text[4], "Code:");
      const std::size_t dash = code_word.find('-');
      if (dash != std::string_view::npos) {
        c.network = std::string(code_word.substr(0, dash));
        c.station = std::string(code_word.substr(dash + 1));
      }
    }
    const orientation o = orientation_of(integers.whole(54, 0, 10000).value_or(0));
    c.azimuth = o.azimuth;
    c.vertical = o.vertical;
    if (!o.azimuth && !o.vertical && !c.channel.empty()) {
      // The SEED channel code's last letter: Z vertical, N north, E east.
      const char last = c.channel.back();
      c.vertical = last == 'Z';
      if (last == 'N') c.azimuth = 0;
      if (last == 'E') c.azimuth = 90;
    }
    if (c.channel.empty()) c.channel = o.name;
    if (c.channel.empty()) {
      c.channel = std::to_string(
          integers.whole(50, 1, 100000).value_or(static_cast<int>(result.components.size() + 1)));
    }
    if (text.size() >= 4 && holds(text[3].substr(0, 7), "origin:")) {
      c.event = std::string(base::trim(text[3].substr(7)));
    }
    const auto year = integers.whole(40, 1, 9999), month = integers.whole(42, 1, 12),
               day = integers.whole(43, 1, 31), hour = integers.whole(44, 0, 23),
               minute = integers.whole(45, 0, 59);
    const std::optional<double> second = reals.at(30);
    if (year && month && day && hour && minute && second) {
      c.start = base::make_utc(*year, *month, *day, *hour, *minute, *second);
    }
    if (integers.whole(76, 0, 2) == 2) {
      result.warnings.push_back(base::failure_at_line(
          integers.line_of(76),
          "the file flags an unfixed problem with this record (integer header 76 is 2)"));
    }
    result.components.push_back(std::move(c));
  }
  // The trailer ("End-of-data for ChanBNZ acceleration"), where there is one.
  const std::string_view after = lines.peek();
  if (!lines.at_end() && !base::trim(after).empty() &&
      after.find("(Format v") == std::string_view::npos) {
    lines.next();
  }
  return {};
}

}  // namespace

bool is_cosmos(std::string_view head) {
  return head.substr(0, head.find('\n')).find("(Format v") != std::string_view::npos;
}

read_result read_cosmos(std::string_view bytes, const read_options& options) {
  read_result result;
  line_reader lines(bytes);
  for (;;) {
    while (!lines.at_end() && base::trim(lines.peek()).empty()) lines.next();
    if (lines.at_end()) break;
    if (base::status s = read_block(lines, options, result)) return refused(std::move(s));
  }
  if (result.components.empty()) {
    return refused(
        base::failure_at_line(1, "no acceleration in the file: its blocks hold other quantities"));
  }
  return result;
}

}  // namespace records
