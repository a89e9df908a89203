#include "records/smc.h"

#include <chrono>
#include <limits>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/fortran_format.h"

namespace records {
namespace {

constexpr std::size_t text_lines = 11;
constexpr fortran_format integer_format{.count = 8, .kind = 'I', .width = 10};
constexpr fortran_format real_format{.count = 5, .kind = 'E', .width = 15, .decimals = 7};
constexpr fortran_format data_format{.count = 8, .kind = 'E', .width = 10, .decimals = 4};
// The values for unknown where the headers' first values do not give them.
constexpr double unknown_integer = -32768, unknown_real = 1.7e38;

// The volume the first line names: "2 CORRECTED ACCELEROGRAM".
std::string volume_of(std::string_view line) {
  line = base::trim(line);
  if (line.size() < 3 || line[0] < '0' || line[0] > '9' || line[1] != ' ') return {};
  return base::lower(line.substr(2));
}

// With the file's value for unknown: the first value, where it gives one.
void use_own_unknown(header_values& header) {
  if (!header.values.empty() && header.values[0] != header.unknown) {
    header.unknown = header.values[0];
  }
}

std::optional<base::utc_time> start_of(const header_values& integers) {
  const auto year = integers.whole(2, 1, 9999), day = integers.whole(3, 1, 366),
             hour = integers.whole(4, 0, 23), minute = integers.whole(5, 0, 59),
             second = integers.whole(6, 0, 60);
  if (!year || !day || !hour || !minute || !second) return std::nullopt;
  const int milliseconds = integers.whole(7, 0, 999).value_or(0);
  const auto new_year = base::make_utc(*year, 1, 1, *hour, *minute, *second + milliseconds / 1e3);
  if (!new_year) return std::nullopt;
  const auto start = *new_year + std::chrono::days(*day - 1);
  // Day 366 of a year that has 365 is not a day of it.
  if (std::chrono::year_month_day(std::chrono::floor<std::chrono::days>(start)).year() !=
      std::chrono::year(*year)) {
    return std::nullopt;
  }
  return start;
}

}  // namespace

bool is_smc(std::string_view head) {
  line_reader lines(head);
  const std::string volume = volume_of(lines.next());
  if (volume != "corrected accelerogram" && volume != "uncorrected accelerogram" &&
      volume.find("velocity") == std::string::npos &&
      volume.find("displacement") == std::string::npos) {
    return false;
  }
  for (std::size_t k = 1; k < text_lines; ++k) lines.next();
  double values[8];
  return !lines.at_end() &&
         read_fields(lines.next(), integer_format, 8, values, unknown_integer) == 8;
}

read_result read_smc(std::string_view bytes, const read_options& options) {
  line_reader lines(bytes);
  std::vector<std::string_view> text;
  while (text.size() < text_lines && !lines.at_end()) text.push_back(lines.next());
  const std::string volume = text.empty() ? std::string() : volume_of(text[0]);
  if (volume != "corrected accelerogram" && volume != "uncorrected accelerogram") {
    return refused(base::failure_at_line(
        1, volume.empty()
               ? "expected '2 CORRECTED ACCELEROGRAM' or '1 UNCORRECTED "
                 "ACCELEROGRAM' on the first line"
               : "'" + base::printable(base::trim(text[0])) + "' is not an acceleration record"));
  }
  if (text.size() < text_lines) {
    return refused(base::failure_at_line(lines.line(), "the file ends in the text header"));
  }
  header_values integers, reals;
  if (auto s = read_header(lines, integer_format, 48, unknown_integer, "integer-header values",
                           integers)) {
    return refused(std::move(s));
  }
  use_own_unknown(integers);
  if (auto s = read_header(lines, real_format, 50, unknown_real, "real-header values", reals)) {
    return refused(std::move(s));
  }
  use_own_unknown(reals);

  const std::optional<int> comments = integers.whole(16, 0, std::numeric_limits<int>::max());
  for (int k = 0; k < comments.value_or(0); ++k) {
    if (lines.at_end()) {
      return refused(base::failure_at_line(
          lines.line(), "the file ends after " + std::to_string(k) + " of the " +
                            std::to_string(*comments) + " comment lines of integer header 16"));
    }
    lines.next();
  }
  const std::optional<int> samples = integers.whole(17, 0, std::numeric_limits<int>::max());
  const std::optional<double> rate = reals.at(2);
  if (!samples) {
    return refused(base::failure_at_line(integers.line_of(17),
                                         "the number of samples (integer header 17) is unknown"));
  }
  if (!rate || !(*rate > 0)) {
    return refused(base::failure_at_line(
        reals.line_of(2), "the sampling rate (real header 2, samples per second) is unknown"));
  }
  if (static_cast<std::size_t>(*samples) > options.most_samples) {
    return refused(base::failure_at_line(integers.line_of(17),
                                         std::to_string(*samples) + " samples: more than the " +
                                             std::to_string(options.most_samples) +
                                             " a component may have",
                                         0, base::code::limit));
  }
  if (*samples < 2) {
    return refused(base::failure_at_line(integers.line_of(17), "fewer than two samples"));
  }
  component c;
  c.first_line = lines.line() + 1;
  if (auto s = read_values(lines, data_format, static_cast<std::size_t>(*samples), c.acceleration,
                           "acceleration values")) {
    return refused(std::move(s));
  }
  while (!lines.at_end()) {
    if (!base::trim(lines.next()).empty()) {
      return refused(base::failure_at_line(
          lines.line(),
          "values beyond the " + std::to_string(*samples) + " samples of integer header 17"));
    }
  }
  if (auto s = scale_samples(c.acceleration, 1, {integers.unknown, reals.unknown}, c.first_line,
                             data_format)) {
    return refused(std::move(s));
  }
  c.dt = 1 / *rate;
  c.unit = "cm/s2";
  c.station = std::string(base::trim(text[2].substr(0, 4)));
  c.event = std::string(base::trim(text[3]));
  c.start = start_of(integers);
  const std::optional<int> from_up = integers.whole(13, 0, 360);
  const std::optional<int> azimuth = integers.whole(14, 0, 360);
  c.vertical = from_up == 0 || from_up == 180;
  if (!c.vertical && azimuth) c.azimuth = *azimuth % 360;
  c.channel = std::string(word_after(text[5], "component="));
  if (c.channel.empty()) {
    c.channel = c.vertical ? (from_up == 0 ? "Up" : "Down")
                : azimuth  ? std::to_string(*azimuth)
                           : "1";
  }
  read_result result;
  if (integers.whole(18, 0, 1) == 1) {
    result.warnings.push_back(
        base::failure_at_line(integers.line_of(18),
                              "the file flags a problem with this record (integer header 18 is "
                              "1): see its comments"));
  }
  result.components.push_back(std::move(c));
  return result;
}

}  // namespace records
