#include "records/sac.h"

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/names.h"
#include "records/seed_channel.h"
#include "records/spaces.h"

namespace records {
namespace {

constexpr std::size_t header_bytes = 632;
constexpr std::size_t float_count = 70, int_count = 40, string_bytes = 192;
constexpr std::size_t int_offset = 4 * float_count, string_offset = int_offset + 4 * int_count;
constexpr double undefined = -12345;
constexpr std::size_t footer_bytes = 22 * 8;  // version 7: double copies of times and places

// The fields read, by their index among the reals and the integers.
enum : std::size_t { delta = 0, begin_time = 5, component_azimuth = 57, component_incidence = 58 };
enum : std::size_t {
  nzyear = 0,
  nzjday = 1,
  nzhour = 2,
  nzmin = 3,
  nzsec = 4,
  nzmsec = 5,
  nvhdr = 6,
  npts = 9,
  iftype = 15,
  idep = 16,
  leven = 35
};
// Offsets of the character fields in their 192 bytes, and their widths.
struct text_field {
  std::size_t offset, width;
};
constexpr text_field kstnm{0, 8}, kevnm{8, 16}, khole{24, 8}, kcmpnm{160, 8}, knetwk{168, 8};

// IDEP's values.
constexpr long long idisp = 6, ivel = 7, iacc = 8;
constexpr long long itime = 1;  // IFTYPE of a time series

struct header {
  double reals[float_count];
  long long integers[int_count];
  char strings[string_bytes];
};

// Where a header field is, for messages: a byte of the binary header, or a line and column of
// the text.
struct places {
  bool text = false;
  std::size_t columns[float_count + int_count] = {};  // of the text's fields, 1-based
  base::status real(std::size_t i, std::string what) const {
    return text ? base::failure_at_line(1 + i / 5, std::move(what), columns[i])
                : base::failure_at_byte(4 * i, std::move(what));
  }
  base::status integer(std::size_t i, std::string what) const {
    return text ? base::failure_at_line(15 + i / 5, std::move(what), columns[float_count + i])
                : base::failure_at_byte(int_offset + 4 * i, std::move(what));
  }
};

std::string text_of(const header& h, text_field f) {
  std::string_view s(h.strings + f.offset, f.width);
  s = s.substr(0, s.find('\0'));
  s = base::trim(s);
  return s == "-12345" ? std::string() : std::string(s);
}

std::string number(long long n) {
  return std::to_string(n);
}

// The reference time (NZYEAR, NZJDAY of the year, NZHOUR...) plus B: the first sample's time.
std::optional<base::utc_time> start_of(const header& h) {
  using namespace std::chrono;
  const long long* z = h.integers;
  const double b = h.reals[begin_time];
  if (z[nzyear] < 1 || z[nzyear] > 9999 || z[nzjday] < 1 || z[nzjday] > 366 || z[nzhour] < 0 ||
      z[nzhour] > 23 || z[nzmin] < 0 || z[nzmin] > 59 || z[nzsec] < 0 || z[nzsec] > 60 ||
      z[nzmsec] < 0 || z[nzmsec] > 999 || b == undefined || !(std::abs(b) < 1e9)) {
    return std::nullopt;
  }
  const std::chrono::year year(static_cast<int>(z[nzyear]));
  if (z[nzjday] == 366 && !year.is_leap()) return std::nullopt;
  const sys_days day = sys_days(year / January / 1) + days(z[nzjday] - 1);
  return day + hours(z[nzhour]) + minutes(z[nzmin]) + seconds(z[nzsec]) + milliseconds(z[nzmsec]) +
         microseconds(std::llround(b * 1e6));
}

// What the header says before the samples: their count (checked against the room the file
// has for them), the interval, names and orientation.
base::status describe(const header& h, const places& at, std::size_t room,
                      const read_options& options, component& c, std::size_t& count) {
  const long long version = h.integers[nvhdr];
  if (version != 6 && version != 7) {
    return at.integer(nvhdr, "NVHDR is " + number(version) + ": header versions 6 and 7 are read");
  }
  if (h.integers[iftype] != itime) {
    return at.integer(iftype, "IFTYPE is " + number(h.integers[iftype]) +
                                  ": not a time series (spectra and x-y data are not records)");
  }
  if (h.integers[leven] != 1) {
    return at.integer(leven, "LEVEN is not true: unevenly spaced samples are not read");
  }
  if (h.integers[idep] == idisp || h.integers[idep] == ivel) {
    return at.integer(idep, std::string("IDEP says ") +
                                (h.integers[idep] == idisp ? "displacement" : "velocity") +
                                ": only acceleration is a record");
  }
  const double dt = h.reals[delta];
  if (!(dt > 0) || !std::isfinite(dt)) {
    return at.real(delta, "DELTA is " + base::shortest(dt) + ": not a positive interval");
  }
  const long long n = h.integers[npts];
  if (n < 0) return at.integer(npts, "NPTS is " + number(n) + ": not a count");
  if (static_cast<unsigned long long>(n) > options.most_samples) {
    base::status s = at.integer(npts, "NPTS is " + number(n) + ": more than the " +
                                          number(static_cast<long long>(options.most_samples)) +
                                          " samples a component may have");
    s.code = base::code::limit;
    return s;
  }
  if (static_cast<unsigned long long>(n) > room) {
    return at.integer(npts, "NPTS is " + number(n) + " but the file has room for " +
                                number(static_cast<long long>(room)) + " samples");
  }
  count = static_cast<std::size_t>(n);
  c.dt = dt;
  c.station = text_of(h, kstnm);
  c.network = text_of(h, knetwk);
  c.location = text_of(h, khole);
  c.channel = text_of(h, kcmpnm);
  c.event = text_of(h, kevnm);
  if (c.channel.empty()) c.channel = "1";
  // CMPINC is measured from up: 0 is up, 180 down, 90 horizontal at CMPAZ from north. Without
  // it the channel's name may tell.
  const double incidence = h.reals[component_incidence], azimuth = h.reals[component_azimuth];
  if (incidence == 0 || incidence == 180) {
    c.vertical = true;
  } else if (incidence == 90 && azimuth != undefined && std::isfinite(azimuth)) {
    c.azimuth = std::fmod(std::fmod(azimuth, 360.0) + 360.0, 360.0);
  } else if (incidence == undefined) {
    const seed_orientation o = orientation_of_seed_channel(c.channel);
    c.azimuth = o.azimuth;
    c.vertical = o.vertical || is_vertical_name(c.channel);
  }
  c.start = start_of(h);
  return {};
}

// The samples, read as they are written, turned into cm/s2 by the rules in sac.h.
base::status convert(const header& h, const places& at, base::status first_sample,
                     const read_options& options, component& c) {
  std::vector<double>& a = c.acceleration;
  if (a.size() < 2) {
    first_sample.what = "fewer than two samples";
    return first_sample;
  }
  const bool counts = options.counts_per_unit.has_value();
  if (counts && !(*options.counts_per_unit > 0 && std::isfinite(*options.counts_per_unit))) {
    return base::failure("the counts per unit must be a positive number", base::code::usage);
  }
  if (counts && !options.units) {
    return at.integer(idep, "counts need a unit: give --units g, gal or m/s2");
  }
  if (h.integers[idep] == iacc && !options.units) {
    c.unit = "nm/s2";
    for (double& v : a) v = v / 1e7;
    return {};
  }
  if (!options.units) {
    return at.integer(idep,
                      "IDEP names no unit of acceleration: give --units g, gal or m/s2 "
                      "(and --counts-per-unit for counts)");
  }
  const double scale = base::in_gal(*options.units);
  if (counts) {
    c.unit = "counts";
  } else {
    // Looked at until the first fraction, which is soon in a record of physical values.
    bool whole = true, zero = true;
    for (std::size_t k = 0; k < a.size() && whole; ++k) {
      whole = a[k] == std::trunc(a[k]);
      zero = zero && a[k] == 0;
    }
    if (whole && !zero) {
      first_sample.what =
          "the samples are whole numbers, counts by the look of them: give --counts-per-unit";
      return first_sample;
    }
    c.unit = base::unit_name(*options.units);
  }
  // A large value of the text in g, or counts over a small gain, may leave the doubles.
  const double per_unit = options.counts_per_unit.value_or(1);
  if (per_unit == 1 && scale == 1) return {};
  std::uint32_t beyond = 0;
  for (double& v : a) {
    v = v / per_unit * scale;
    beyond |= static_cast<std::uint32_t>(!(std::abs(v) <= std::numeric_limits<double>::max()));
  }
  for (std::size_t k = 0; beyond && k < a.size(); ++k) {
    if (!std::isfinite(a[k])) {
      first_sample.what =
          "sample " + number(static_cast<long long>(k + 1)) + " is out of range in cm/s2";
      return first_sample;
    }
  }
  return {};
}

std::uint32_t load32(const char* p, bool swap) {
  std::uint32_t u;
  std::memcpy(&u, p, 4);
  return swap ? __builtin_bswap32(u) : u;
}

// The float32 samples at p as doubles, in the file's byte order; not zero when one of them is
// an infinity or not a number.
template <bool swap>
std::uint32_t widen(const char* p, std::size_t count, double* out) {
  std::uint32_t exponent_all_ones = 0;
  for (std::size_t k = 0; k < count; ++k) {
    std::uint32_t u;
    std::memcpy(&u, p + 4 * k, 4);
    if constexpr (swap) u = __builtin_bswap32(u);
    exponent_all_ones |= static_cast<std::uint32_t>((u & 0x7f800000u) == 0x7f800000u);
    out[k] = std::bit_cast<float>(u);
  }
  return exponent_all_ones;
}

// The byte order in which NVHDR is a version (1 to 19): whether the file's order is the
// other one than this machine's. Nothing when neither order gives one.
std::optional<bool> swapped(std::string_view bytes) {
  for (const bool swap : {false, true}) {
    const auto v = static_cast<std::int32_t>(load32(bytes.data() + int_offset + 4 * nvhdr, swap));
    if (v >= 1 && v <= 19) return swap;
  }
  return std::nullopt;
}

header binary_header(std::string_view bytes, bool swap) {
  header h;
  for (std::size_t i = 0; i < float_count; ++i) {
    h.reals[i] = std::bit_cast<float>(load32(bytes.data() + 4 * i, swap));
  }
  for (std::size_t i = 0; i < int_count; ++i) {
    h.integers[i] = static_cast<std::int32_t>(load32(bytes.data() + int_offset + 4 * i, swap));
  }
  std::memcpy(h.strings, bytes.data() + string_offset, string_bytes);
  return h;
}

// The header lines of the text layout, each without its line end; nothing when the text ends
// first.
bool text_lines(std::string_view text, std::size_t count, std::vector<std::string_view>& lines,
                std::size_t& after) {
  std::size_t at = 0;
  lines.clear();
  while (lines.size() < count) {
    if (at >= text.size()) return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    at = end + 1;
  }
  after = std::min(at, text.size());
  return true;
}

// The numbers of a header line of the text: five, separated by blanks. (The layout gives them
// 15 or 10 columns each, but writers shift the first; G15.7 and I10 always leave a blank.)
bool five_fields(std::string_view line, std::string_view (&fields)[5], std::size_t (&columns)[5]) {
  std::size_t at = 0, n = 0;
  while (true) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    if (at == line.size()) return n == 5;
    if (n == 5) return false;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    fields[n] = line.substr(at, end - at);
    columns[n++] = at + 1;
    at = end;
  }
}

constexpr std::size_t real_lines = 14, integer_lines = 8, text_field_lines = 8;
constexpr std::size_t alphanumeric_header_lines = real_lines + integer_lines + text_field_lines;

}  // namespace

bool is_sac(std::string_view head) {
  if (head.size() < header_bytes) return false;
  const std::optional<bool> swap = swapped(head);
  if (!swap) return false;
  const header h = binary_header(head, *swap);
  return (h.integers[nvhdr] == 6 || h.integers[nvhdr] == 7) && h.reals[delta] > 0 &&
         std::isfinite(h.reals[delta]) && h.integers[npts] >= 0;
}

read_result read_sac(std::string_view bytes, const read_options& options) {
  if (bytes.size() < header_bytes) {
    return refused(base::failure_at_byte(
        bytes.size(), "the file ends in the 632-byte header: " +
                          number(static_cast<long long>(bytes.size())) + " bytes"));
  }
  const std::optional<bool> swap = swapped(bytes);
  if (!swap) {
    return refused(base::failure_at_byte(
        int_offset + 4 * nvhdr, "NVHDR is not a header version (1 to 19) in either byte order"));
  }
  const header h = binary_header(bytes, *swap);
  const places at{.text = false};
  component c;
  std::size_t count = 0;
  if (auto s = describe(h, at, (bytes.size() - header_bytes) / 4, options, c, count)) {
    return refused(std::move(s));
  }
  read_result result;
  const std::size_t end = header_bytes + 4 * count, extra = bytes.size() - end;
  if (extra != 0 && !(h.integers[nvhdr] == 7 && extra == footer_bytes)) {
    result.warnings.push_back(base::failure_at_byte(
        end, number(static_cast<long long>(extra)) + " bytes after the last sample are not read"));
  }
  c.first_byte = header_bytes;
  c.acceleration.resize(count);
  // A float whose exponent bits are all ones is an infinity or not a number.
  const std::uint32_t not_finite =
      *swap ? widen<true>(bytes.data() + header_bytes, count, c.acceleration.data())
            : widen<false>(bytes.data() + header_bytes, count, c.acceleration.data());
  if (not_finite) {
    std::size_t k = 0;
    while (std::isfinite(c.acceleration[k])) ++k;
    return refused(base::failure_at_byte(
        header_bytes + 4 * k,
        "sample " + number(static_cast<long long>(k + 1)) + " is not finite"));
  }
  if (auto s = convert(h, at, base::failure_at_byte(header_bytes, ""), options, c)) {
    return refused(std::move(s));
  }
  result.components.push_back(std::move(c));
  return result;
}

bool is_sac_alphanumeric(std::string_view head) {
  std::vector<std::string_view> lines;
  std::size_t after = 0;
  if (!text_lines(head, real_lines + 2, lines, after)) return false;
  std::string_view fields[5];
  std::size_t columns[5];
  if (!five_fields(lines[0], fields, columns)) return false;
  for (std::string_view f : fields) {
    if (!base::parse_decimal(f)) return false;
  }
  return five_fields(lines[real_lines + 1], fields, columns) &&
         base::parse_integer(fields[1], 6, 7).has_value();
}

read_result read_sac_alphanumeric(std::string_view text, const read_options& options) {
  std::vector<std::string_view> lines;
  std::size_t at = 0;
  if (!text_lines(text, alphanumeric_header_lines, lines, at)) {
    return refused(base::failure_at_line(
        base::line_at(text, text.size()),
        "the file ends in its header: SAC alphanumeric files have 30 header lines"));
  }
  header h;
  places where{.text = true};
  for (std::size_t k = 0; k < real_lines + integer_lines; ++k) {
    std::string_view fields[5];
    std::size_t columns[5];
    if (!five_fields(lines[k], fields, columns)) {
      return refused(base::failure_at_line(
          k + 1, k < real_lines ? "expected 5 reals (G15.7)" : "expected 5 integers (I10)"));
    }
    for (std::size_t j = 0; j < 5; ++j) {
      const std::size_t i = 5 * k + j;  // among the 110 numbers
      where.columns[i] = columns[j];
      if (k < real_lines) {
        const std::optional<double> v = base::parse_decimal(fields[j]);
        if (!v) {
          return refused(base::failure_at_line(
              k + 1, "not a number: '" + base::printable(fields[j], 20) + "'", columns[j]));
        }
        h.reals[i] = *v;
      } else {
        const auto v = base::parse_integer(fields[j], std::numeric_limits<std::int32_t>::min(),
                                           std::numeric_limits<std::int32_t>::max());
        if (!v) {
          return refused(base::failure_at_line(
              k + 1, "not an integer: '" + base::printable(fields[j], 20) + "'", columns[j]));
        }
        h.integers[i - float_count] = *v;
      }
    }
  }
  std::memset(h.strings, ' ', string_bytes);
  for (std::size_t k = 0; k < text_field_lines; ++k) {
    const std::string_view line = lines[real_lines + integer_lines + k];
    std::memcpy(h.strings + 24 * k, line.data(), std::min<std::size_t>(line.size(), 24));
  }

  component c;
  std::size_t count = 0;
  // A value takes two characters at least, its blank included.
  const std::size_t room = (text.size() - at) / 2 + 1;
  if (auto s = describe(h, where, room, options, c, count)) return refused(std::move(s));
  c.acceleration.reserve(count);
  const char* p = text.data() + at;
  const char* const end = text.data() + text.size();
  // Line 31, or the last line when the text ends with its header.
  std::size_t line = base::line_at(text, at), last_value_line = line;
  while (p < end) {
    p = skip_spaces(p, end);
    if (p == end) break;
    const char ch = *p;
    if (ch == '\t' || ch == '\r') {
      ++p;
      continue;
    }
    if (ch == '\n') {
      ++line;
      ++p;
      continue;
    }
    double v = 0;
    const char* after = base::scan_decimal(p, end, v);
    if (!after ||
        (after < end && *after != ' ' && *after != '\t' && *after != '\r' && *after != '\n')) {
      const char* token_end = p;
      while (token_end < end && *token_end != ' ' && *token_end != '\t' && *token_end != '\r' &&
             *token_end != '\n') {
        ++token_end;
      }
      return refused(base::failure_at_line(
          line,
          "not a number: '" +
              base::printable(std::string_view(p, static_cast<std::size_t>(token_end - p)), 20) +
              "'"));
    }
    if (c.acceleration.size() == count) {
      return refused(base::failure_at_line(
          line, "NPTS is " + number(static_cast<long long>(count)) + " but more values follow"));
    }
    if (c.acceleration.empty()) c.first_line = line;
    c.acceleration.push_back(v);
    last_value_line = line;
    p = after;
  }
  if (c.acceleration.size() != count) {
    return refused(base::failure_at_line(
        last_value_line, "NPTS is " + number(static_cast<long long>(count)) + " but " +
                             number(static_cast<long long>(c.acceleration.size())) +
                             " values follow"));
  }
  if (auto s = convert(h, where,
                       base::failure_at_line(c.first_line ? c.first_line : last_value_line, ""),
                       options, c)) {
    return refused(std::move(s));
  }
  read_result result;
  result.components.push_back(std::move(c));
  return result;
}

}  // namespace records
