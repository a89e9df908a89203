#include "records/knet.h"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/spaces.h"

namespace records {
namespace {

constexpr std::size_t header_lines = 17;
constexpr std::size_t value_column = 18;  // values start at column 19
constexpr auto japan_time = std::chrono::hours(9);
constexpr auto trigger_delay = std::chrono::seconds(15);  // the Record Time is this late

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "2014/12/31 23:50:11", in whatever clock it is written in.
std::optional<base::utc_time> parse_time(std::string_view text) {
  if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const auto field = [&](std::size_t at, std::size_t width) {
    return base::parse_integer(text.substr(at, width), 0, 9999).value_or(-1);
  };
  const long long year = field(0, 4), month = field(5, 2), day = field(8, 2), hour = field(11, 2),
                  minute = field(14, 2), second = field(17, 2);
  if (year < 1 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) {
    return std::nullopt;
  }
  return base::make_utc(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                        static_cast<int>(hour), static_cast<int>(minute),
                        static_cast<double>(second));
}

struct direction {
  std::string channel, location;
  std::optional<double> azimuth;
  bool vertical = false;
};

// K-NET writes N-S, E-W, U-D; KiK-net 1 to 3 for the borehole sensor, 4 to 6 for the surface.
std::optional<direction> parse_direction(std::string_view dir) {
  if (dir == "N-S") return direction{.channel = "N-S", .azimuth = 0.0};
  if (dir == "E-W") return direction{.channel = "E-W", .azimuth = 90.0};
  if (dir == "U-D") return direction{.channel = "U-D", .vertical = true};
  const std::optional<long long> n = base::parse_integer(dir, 1, 6);
  if (!n || dir.size() != 1) return std::nullopt;
  const bool borehole = *n <= 3;
  const long long axis = (*n - 1) % 3;
  direction d;
  d.channel = std::string(axis == 0 ? "NS" : axis == 1 ? "EW" : "UD") + (borehole ? "1" : "2");
  d.location = borehole ? "borehole" : "surface";
  if (axis == 2)
    d.vertical = true;
  else
    d.azimuth = axis == 0 ? 0.0 : 90.0;
  return d;
}

// "7845(gal)/8223790": gal per count is N / D.
bool parse_scale(std::string_view text, double& n, double& d) {
  const std::size_t at = text.find("(gal)/");
  if (at == std::string_view::npos) return false;
  const auto numerator = base::parse_decimal(base::trim(text.substr(0, at)));
  const auto denominator = base::parse_decimal(base::trim(text.substr(at + 6)));
  if (!numerator || !denominator || !(*numerator > 0) || !(*denominator > 0)) return false;
  n = *numerator;
  d = *denominator;
  return true;
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The digits that start the 8 bytes at p, read at once: how many (0 to 8), and the number they
// make. Each byte is tested for a digit, the run is moved to the top of the word (the bytes
// below become leading zeros), then pairs, fours and eights of digits are combined.
std::size_t leading_digits(const char* p, std::uint64_t& value) {
  if constexpr (std::endian::native != std::endian::little) return 0;
  constexpr std::uint64_t ones = 0x0101010101010101u;
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  const std::uint64_t high = word & (0xF0 * ones),
                      above_nine = (word + 0x06 * ones) & (0xF0 * ones);
  const std::uint64_t not_digit = (high ^ (0x30 * ones)) | (above_nine ^ (0x30 * ones));
  const std::size_t n =
      not_digit == 0 ? 8 : static_cast<std::size_t>(std::countr_zero(not_digit)) / 8;
  if (n == 0) return 0;
  std::uint64_t v = (word - 0x30 * ones) << (8 * (8 - n));
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFu;
  value = v;
  return n;
}

}  // namespace

bool is_knet(std::string_view head) {
  return starts_with(head, "Origin Time") && head.find("Scale Factor") != std::string_view::npos;
}

read_result read_knet(std::string_view text, const read_options& options) {
  std::string_view value[header_lines];
  std::size_t at = 0;
  for (std::size_t k = 0; k < header_lines; ++k) {
    const std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      return refused(base::failure_at_line(
          k + 1, "the file ends in its header: K-NET and KiK-net files have 17 header lines"));
    }
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    value[k] = line.size() > value_column ? base::trim(line.substr(value_column)) : "";
    const struct {
      std::size_t line;
      std::string_view label;
    } labels[] = {{1, "Origin Time"},
                  {10, "Record Time"},
                  {11, "Sampling Freq"},
                  {13, "Dir."},
                  {14, "Scale Factor"}};
    for (const auto& l : labels) {
      if (l.line == k + 1 && !starts_with(line, l.label)) {
        return refused(base::failure_at_line(
            k + 1, "expected '" + std::string(l.label) + "' on line " + std::to_string(k + 1)));
      }
    }
    at = end + 1;
  }

  component c;
  c.unit = "counts";
  c.station = std::string(value[5]);
  if (const auto origin = parse_time(value[0]))
    c.event = base::format_utc(*origin - japan_time);
  else
    c.event = std::string(value[0]);
  const auto record_time = parse_time(value[9]);
  if (!record_time) {
    return refused(base::failure_at_line(
        10, "Record Time is '" + base::printable(value[9]) + "': expected yyyy/mm/dd hh:mm:ss"));
  }
  c.start = *record_time - trigger_delay - japan_time;

  std::string_view frequency = value[10];
  if (frequency.size() > 2 && base::lower(frequency.substr(frequency.size() - 2)) == "hz") {
    frequency.remove_suffix(2);
  }
  const std::optional<double> hz = base::parse_decimal(base::trim(frequency));
  if (!hz || !(*hz > 0)) {
    return refused(base::failure_at_line(11, "Sampling Freq is '" + base::printable(value[10]) +
                                                 "': expected a rate such as 100Hz"));
  }
  c.dt = 1 / *hz;

  const std::optional<direction> dir = parse_direction(value[12]);
  if (!dir) {
    return refused(base::failure_at_line(
        13, "Dir. is '" + base::printable(value[12]) + "': expected N-S, E-W, U-D or 1 to 6"));
  }
  c.channel = dir->channel;
  c.location = dir->location;
  c.azimuth = dir->azimuth;
  c.vertical = dir->vertical;

  double numerator = 0, denominator = 0;
  if (!parse_scale(value[13], numerator, denominator)) {
    return refused(base::failure_at_line(
        14, "Scale Factor is '" + base::printable(value[13]) + "': expected N(gal)/D"));
  }

  // The counts, 8 a line. The record's length (Duration Time times the rate) sizes the
  // memory, within the bound that every count takes two bytes at least.
  const char* p = text.data() + at;
  const char* const end = text.data() + text.size();
  const std::size_t room = std::min(options.most_samples, (text.size() - at) / 2 + 1);
  const std::optional<double> duration = base::parse_decimal(value[11]);
  c.acceleration.reserve(duration && *duration > 0 && *duration * *hz < static_cast<double>(room)
                             ? static_cast<std::size_t>(*duration * *hz) + 8
                             : room);
  std::int64_t sum = 0;
  std::size_t line = header_lines + 1, last_value_line = line;
  while (p < end) {
    p = skip_spaces(p, end);
    if (p == end) break;
    if (*p == '\n') {
      ++line;
      ++p;
      continue;
    }
    if (is_blank(*p)) {
      ++p;
      continue;
    }
    const char* const start = p;
    // Signs come and go at random in a record: taken without a branch.
    const bool negative = *p == '-';
    p += negative || *p == '+';
    std::uint64_t count = 0;
    std::size_t digits = 0;
    if (end - p >= 8) {
      digits = leading_digits(p, count);
      p += digits;
    }
    if (digits == 0 || digits == 8) {
      for (; p < end && *p >= '0' && *p <= '9'; ++p, ++digits) {
        if (digits < 10) count = count * 10 + static_cast<unsigned>(*p - '0');
      }
    }
    if (digits == 0 || digits > 9 || (p < end && !is_blank(*p) && *p != '\n')) {
      while (p < end && !is_blank(*p) && *p != '\n') ++p;
      return refused(base::failure_at_line(
          line,
          "not a count: '" +
              base::printable(std::string_view(start, static_cast<std::size_t>(p - start)), 20) +
              "'"));
    }
    if (c.acceleration.size() == options.most_samples) {
      return refused(base::failure_at_line(
          line,
          "more than the " + std::to_string(options.most_samples) + " samples a component may have",
          0, base::code::limit));
    }
    if (c.acceleration.empty()) c.first_line = line;
    const auto magnitude = static_cast<std::int64_t>(count);
    const std::int64_t signed_count = negative ? -magnitude : magnitude;
    sum += signed_count;
    c.acceleration.push_back(static_cast<double>(signed_count));
    last_value_line = line;
  }
  if (c.acceleration.size() < 2) {
    return refused(base::failure_at_line(last_value_line, "fewer than two samples"));
  }

  // The mean is taken of the counts, whose sum is exact: a record of zero mean keeps every
  // value as counts times N / D.
  const double mean = static_cast<double>(sum) / static_cast<double>(c.acceleration.size());
  double peak = 0;
  for (double& a : c.acceleration) {
    a = (a - mean) * numerator / denominator;
    peak = std::max(peak, std::abs(a));
  }
  if (!(peak <= std::numeric_limits<double>::max())) {
    return refused(base::failure_at_line(
        14, "Scale Factor is '" + base::printable(value[13]) + "': the values leave the doubles"));
  }

  read_result result;
  // Max. Acc. is printed to some decimals; a peak further from it than one unit of the last of
  // them is not the record NIED describes (another scale, counts lost).
  const std::string_view printed = value[14];
  if (const auto stated = base::parse_decimal(printed)) {
    const std::size_t point = printed.find('.');
    const int decimals =
        point == std::string_view::npos ? 0 : static_cast<int>(printed.size() - point - 1);
    if (std::abs(peak - *stated) > std::pow(10.0, -decimals) * (1 + 1e-9)) {
      char text_of_peak[64];
      std::snprintf(text_of_peak, sizeof text_of_peak, "%.*f", decimals, peak);
      result.warnings.push_back(base::failure_at_line(
          15, "Max. Acc. is " + std::string(printed) + " gal but the peak less the mean is " +
                  text_of_peak + " gal"));
    }
  }
  result.components.push_back(std::move(c));
  return result;
}

}  // namespace records
