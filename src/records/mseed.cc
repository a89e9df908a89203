#include "records/mseed.h"

#include <libmseed.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/seed_channel.h"

namespace records {
namespace {

constexpr std::size_t fixed_header = 48;
constexpr double largest = std::numeric_limits<double>::max();

// libmseed 2 keeps state of the record being parsed in globals (its source name, the
// environment's settings) and logs through a global printer: one parse at a time, and the
// printer silenced, since failures here are values.
std::mutex library;
std::once_flag quiet;
void print_nothing(char*) {}

// The fixed header's signature, as libmseed tests it: a sequence number of digits, a quality
// indicator, a start time whose year and day make sense in one byte order or the other.
bool looks_like_record(const char* p) {
  for (int k = 0; k < 6; ++k) {
    if (!((p[k] >= '0' && p[k] <= '9') || p[k] == ' ' || p[k] == '\0')) return false;
  }
  if (std::string_view("DRQM").find(p[6]) == std::string_view::npos) return false;
  if (p[7] != ' ' && p[7] != '\0') return false;
  const auto u16 = [&](int at, bool big) {
    const auto hi = static_cast<unsigned char>(p[big ? at : at + 1]);
    const auto lo = static_cast<unsigned char>(p[big ? at + 1 : at]);
    return hi * 256 + lo;
  };
  bool sensible = false;
  for (const bool big : {true, false}) {
    const int year = u16(20, big), day = u16(22, big);
    sensible = sensible || (year >= 1900 && year <= 2100 && day >= 1 && day <= 366);
  }
  const auto hour = static_cast<unsigned char>(p[24]), minute = static_cast<unsigned char>(p[25]),
             second = static_cast<unsigned char>(p[26]);
  return sensible && hour <= 23 && minute <= 59 && second <= 60;
}

// Bytes a sample takes in the encodings read, 0 for Steim's frames of differences.
std::optional<std::size_t> sample_size(int encoding) {
  switch (encoding) {
    case DE_INT16:
      return 2;
    case DE_INT32:
    case DE_FLOAT32:
      return 4;
    case DE_FLOAT64:
      return 8;
    case DE_STEIM1:
    case DE_STEIM2:
      return 0;
    default:
      return std::nullopt;
  }
}

std::string time_text(hptime_t t) {
  return base::format_utc(base::utc_time(std::chrono::microseconds(t)));
}

struct trace {
  std::string id;  // NET.STA.LOC.CHA
  component c;
  double rate = 0;
  bool counts = false;  // integer samples
  double per_unit = 1;  // what the samples are divided by, then multiplied by
  double scale = 1;     // to be in cm/s2
  hptime_t due = 0;     // when the sample after the last one read is due
};

// The record's length from its first blockette 1000 (2^n bytes), found by walking the
// blockettes in the byte order its start time makes sense in; or what is wrong.
std::string record_length(const unsigned char* p, std::size_t left, std::size_t& length) {
  const auto u16 = [&](std::size_t at, bool big) {
    return static_cast<std::size_t>(big ? p[at] * 256 + p[at + 1] : p[at + 1] * 256 + p[at]);
  };
  const std::size_t year = u16(20, false), day = u16(22, false);
  const bool big = !(year >= 1900 && year <= 2100 && day >= 1 && day <= 366);
  std::size_t at = u16(46, big);
  for (int hops = 0; at != 0 && hops < 64; ++hops) {
    if (at < fixed_header || at + 4 > left) break;
    const std::size_t type = u16(at, big), next = u16(at + 2, big);
    if (type == 1000) {
      if (at + 8 > left) break;
      const unsigned exponent = p[at + 6];
      if (exponent < 7 || exponent > 20) {
        return "blockette 1000 gives a record length of 2^" + std::to_string(exponent) + " bytes";
      }
      length = std::size_t{1} << exponent;
      if (length > left) {
        return "the file ends in a record: " + std::to_string(length - left) +
               " more bytes were due";
      }
      return {};
    }
    if (next != 0 && next <= at) break;
    at = next;
  }
  return "a record without blockette 1000: its length and encoding are unknown";
}

}  // namespace

bool is_mseed(std::string_view head) {
  return head.size() >= fixed_header && looks_like_record(head.data());
}

read_result read_mseed(std::string_view bytes, const read_options& options) {
  const std::optional<double> per_unit = options.counts_per_unit;
  if (per_unit && !(*per_unit > 0 && std::isfinite(*per_unit))) {
    return refused(
        base::failure("the counts per unit must be a positive number", base::code::usage));
  }
  const std::lock_guard lock(library);
  std::call_once(quiet, [] { ms_loginit(print_nothing, nullptr, print_nothing, nullptr); });
  MSRecord* msr = nullptr;
  const struct release {
    MSRecord*& m;
    ~release() { msr_free(&m); }
  } release_record{msr};

  // libmseed parses writable bytes: each record is copied, with room after its end should the
  // library look a few bytes beyond a field.
  constexpr std::size_t margin = 64;
  std::vector<char> copy;
  read_result result;
  std::vector<trace> traces;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const auto fail = [&](std::string what, base::code code = base::code::bad_input) {
      return refused(base::failure_at_byte(offset, std::move(what), code));
    };
    const std::size_t left = bytes.size() - offset;
    if (left < fixed_header || !looks_like_record(bytes.data() + offset)) {
      return fail("not a miniSEED record");
    }
    std::size_t length = 0;
    if (std::string why = record_length(
            reinterpret_cast<const unsigned char*>(bytes.data()) + offset, left, length);
        !why.empty()) {
      return fail(std::move(why));
    }
    if (copy.size() < length + margin) copy.assign(length + margin, '\0');
    std::memcpy(copy.data(), bytes.data() + offset, length);
    std::memset(copy.data() + length, 0, margin);
    const int reclen = static_cast<int>(length);
    // The header first: libmseed must see the record as it was measured here, and its samples
    // must lie within it, before they are decoded.
    int status = msr_parse(copy.data(), reclen, &msr, reclen, 0, 0);
    if (status != 0) {
      return fail("not a miniSEED record: " +
                  base::lower(ms_errorstr(status < 0 ? status : MS_GENERROR)));
    }
    if (msr->reclen != reclen) return fail("two blockettes 1000 that disagree");
    if (msr->encoding == DE_ASCII) {
      result.warnings.push_back(base::failure_at_byte(
          offset, "a record of text (channel " + std::string(msr->channel) + ") is left out"));
      offset += length;
      continue;
    }
    const std::optional<std::size_t> size = sample_size(msr->encoding);
    if (!size) return fail("encoding " + std::to_string(msr->encoding) + " is not read");
    const std::size_t data_offset = msr->fsdh->data_offset;
    const auto samples = static_cast<std::size_t>(msr->samplecnt);
    if (samples == 0) {
      offset += length;
      continue;
    }
    if (data_offset < fixed_header || data_offset >= length) {
      return fail("the data offset " + std::to_string(data_offset) + " is outside the record of " +
                  std::to_string(length) + " bytes");
    }
    if (*size != 0 && samples > (length - data_offset) / *size) {
      return fail("the record says " + std::to_string(samples) + " samples but has room for " +
                  std::to_string((length - data_offset) / *size));
    }
    status = msr_parse(copy.data(), reclen, &msr, reclen, 1, 0);
    if (status != 0) {
      return fail("samples that cannot be decoded: " +
                  base::lower(ms_errorstr(status < 0 ? status : MS_GENERROR)));
    }
    if (msr->numsamples != msr->samplecnt) {
      return fail("the record says " + std::to_string(samples) + " samples but " +
                  std::to_string(msr->numsamples) + " were decoded");
    }
    const double rate = msr->samprate;
    if (!(rate >= 1e-3 && rate <= 1e6)) {
      return fail("a sample rate of " + base::shortest(rate) + " Hz");
    }
    const bool counts = msr->sampletype == 'i';
    const std::string id =
        std::string(msr->network) + "." + msr->station + "." + msr->location + "." + msr->channel;
    trace* t = nullptr;
    for (trace& each : traces) {
      if (each.id == id) t = &each;
    }
    const double period = 1e6 / rate;  // microseconds
    if (!t) {
      // Counts and values of unknown unit become cm/s2 by what the user gives.
      const auto unusable = [&](std::string what) {
        return refused(base::failure_at_byte(offset + data_offset, id + ": " + std::move(what)));
      };
      if (!options.units) {
        return unusable(counts ? "the samples are counts: give --units and --counts-per-unit"
                               : "the samples are of unknown unit: give --units g, gal or m/s2");
      }
      if (counts && !per_unit) {
        return unusable("the samples are counts: give --counts-per-unit (counts per " +
                        std::string(base::unit_name(*options.units)) + ")");
      }
      trace& fresh = traces.emplace_back();
      fresh.id = id;
      fresh.rate = rate;
      fresh.counts = counts;
      fresh.per_unit = per_unit.value_or(1);
      fresh.scale = base::in_gal(*options.units);
      component& c = fresh.c;
      c.unit = per_unit ? "counts" : base::unit_name(*options.units);
      c.dt = 1 / rate;
      c.network = msr->network;
      c.station = msr->station;
      c.location = msr->location;
      c.channel = msr->channel;
      if (c.channel.empty()) c.channel = "1";
      const seed_orientation o = orientation_of_seed_channel(c.channel);
      c.azimuth = o.azimuth;
      c.vertical = o.vertical;
      c.start = base::utc_time(std::chrono::microseconds(msr->starttime));
      c.first_byte = offset + data_offset;
      // Records of one channel fill most files: as many samples as this record holds per byte.
      c.acceleration.reserve(std::min(options.most_samples, bytes.size() / length * samples));
      t = &fresh;
    } else {
      if (!MS_ISRATETOLERABLE(rate, t->rate)) {
        return fail(id + " changes its sample rate from " + base::shortest(t->rate) + " to " +
                    base::shortest(rate) + " Hz");
      }
      if (counts != t->counts) return fail(id + " mixes integer and float samples");
      const hptime_t start = msr->starttime;
      const double late = static_cast<double>(start - t->due);
      if (late > period / 2) {
        return fail(id + " has a gap from " + time_text(t->due) + " to " + time_text(start) +
                    ": one continuous trace per channel is read");
      }
      if (late < -period / 2) {
        return fail(id + " overlaps itself from " + time_text(start) + " to " + time_text(t->due) +
                    ": one continuous trace per channel is read");
      }
    }
    std::vector<double>& a = t->c.acceleration;
    if (samples > options.most_samples - a.size()) {
      return fail(id + " has more than the " + std::to_string(options.most_samples) +
                      " samples a component may have",
                  base::code::limit);
    }
    const std::size_t before = a.size();
    a.resize(before + samples);
    double* out = a.data() + before;
    const double divisor = t->per_unit, scale = t->scale;
    std::uint32_t not_finite = 0;
    // Dividing by 1 changes nothing: without a gain the loop only multiplies.
    const auto convert = [out, samples, divisor, scale, &not_finite](const auto* in) {
      std::uint32_t beyond = 0;
      if (divisor == 1) {
        for (std::size_t k = 0; k < samples; ++k) {
          const double v = static_cast<double>(in[k]) * scale;
          beyond |= static_cast<std::uint32_t>(!(std::abs(v) <= largest));
          out[k] = v;
        }
      } else {
        for (std::size_t k = 0; k < samples; ++k) {
          const double v = static_cast<double>(in[k]) / divisor * scale;
          beyond |= static_cast<std::uint32_t>(!(std::abs(v) <= largest));
          out[k] = v;
        }
      }
      not_finite = beyond;
    };
    switch (msr->sampletype) {
      case 'i':
        convert(static_cast<const std::int32_t*>(msr->datasamples));
        break;
      case 'f':
        convert(static_cast<const float*>(msr->datasamples));
        break;
      case 'd':
        convert(static_cast<const double*>(msr->datasamples));
        break;
      default:
        return fail("samples of type '" + base::printable(std::string_view(&msr->sampletype, 1)) +
                    "' are not read");
    }
    if (not_finite) return fail(id + ": a sample that is not finite in cm/s2");
    t->due =
        msr->starttime + static_cast<hptime_t>(std::llround(static_cast<double>(samples) * period));
    offset += length;
  }
  if (traces.empty()) return refused(base::failure_at_byte(0, "no samples in the file"));
  for (trace& t : traces) {
    if (t.c.acceleration.size() < 2) {
      return refused(base::failure_at_byte(t.c.first_byte, t.id + ": fewer than two samples"));
    }
    result.components.push_back(std::move(t.c));
  }
  return result;
}

}  // namespace records
