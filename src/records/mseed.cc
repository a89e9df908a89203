#include "records/mseed.h"

#include <libmseed.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "base/strings.h"
#include "records/seed_channel.h"

namespace records {
namespace {

constexpr std::size_t fixed_header = 48;

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
  hptime_t due = 0;     // when the sample after the last one read is due
};

}  // namespace

bool is_mseed(std::string_view head) {
  return head.size() >= fixed_header && looks_like_record(head.data());
}

read_result read_mseed(std::string_view bytes, const read_options& options) {
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    return refused(base::failure_at_byte(0, "more than 2 GB of miniSEED", base::code::limit));
  }
  // libmseed parses writable bytes: it gets a copy, with room after the end for the few bytes
  // it may look at beyond a field while detecting a record.
  constexpr std::size_t margin = 64;
  std::vector<char> buffer(bytes.size() + margin, '\0');
  std::memcpy(buffer.data(), bytes.data(), bytes.size());

  const std::lock_guard lock(library);
  std::call_once(quiet, [] { ms_loginit(print_nothing, nullptr, print_nothing, nullptr); });
  MSRecord* msr = nullptr;
  const struct release {
    MSRecord*& m;
    ~release() { msr_free(&m); }
  } release_record{msr};

  read_result result;
  std::vector<trace> traces;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const auto fail = [&](std::string what, base::code code = base::code::bad_input) {
      return refused(base::failure_at_byte(offset, std::move(what), code));
    };
    char* const record = buffer.data() + offset;
    const std::size_t left = bytes.size() - offset;
    if (left < fixed_header || !looks_like_record(record)) {
      return fail("not a miniSEED record");
    }
    int status = msr_parse(record, static_cast<int>(left), &msr, 0, 0, 0);
    if (status > 0) {
      return fail("the file ends in a record: " + std::to_string(status) + " more bytes were due");
    }
    if (status < 0) {
      return fail("not a miniSEED record: " + base::lower(ms_errorstr(status)));
    }
    const auto length = static_cast<std::size_t>(msr->reclen);
    if (msr->reclen < MINRECLEN || length > left) {
      return fail("a record length of " + std::to_string(msr->reclen) + " bytes, with " +
                  std::to_string(left) + " left in the file");
    }
    if (!msr->Blkt1000) return fail("a record without blockette 1000: its encoding is unknown");
    if (msr->encoding == DE_ASCII) {
      result.warnings.push_back(base::failure_at_byte(
          offset, "a record of text (channel " + std::string(msr->channel) + ") is left out"));
      offset += length;
      continue;
    }
    const std::optional<std::size_t> size = sample_size(msr->encoding);
    if (!size) return fail("encoding " + std::to_string(msr->encoding) + " is not read");
    // The samples must lie within the record before libmseed is asked for them.
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
    status = msr_parse(record, static_cast<int>(length), &msr, static_cast<int>(length), 1, 0);
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
      trace& fresh = traces.emplace_back();
      fresh.id = id;
      fresh.rate = rate;
      fresh.counts = counts;
      component& c = fresh.c;
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
    switch (msr->sampletype) {
      case 'i':
        for (std::size_t k = 0; k < samples; ++k) {
          out[k] = static_cast<const std::int32_t*>(msr->datasamples)[k];
        }
        break;
      case 'f':
        for (std::size_t k = 0; k < samples; ++k) {
          out[k] = static_cast<const float*>(msr->datasamples)[k];
        }
        break;
      case 'd':
        std::memcpy(out, msr->datasamples, samples * sizeof(double));
        break;
      default:
        return fail("samples of type '" + base::printable(std::string_view(&msr->sampletype, 1)) +
                    "' are not read");
    }
    t->due =
        msr->starttime + static_cast<hptime_t>(std::llround(static_cast<double>(samples) * period));
    offset += length;
  }
  if (traces.empty()) return refused(base::failure_at_byte(0, "no samples in the file"));

  // Counts and values of unknown unit become cm/s2 by what the user gives.
  const std::optional<double> per_unit = options.counts_per_unit;
  if (per_unit && !(*per_unit > 0 && std::isfinite(*per_unit))) {
    return refused(
        base::failure("the counts per unit must be a positive number", base::code::usage));
  }
  for (trace& t : traces) {
    component& c = t.c;
    const auto fail = [&](std::string what) {
      return refused(base::failure_at_byte(c.first_byte, t.id + ": " + std::move(what)));
    };
    if (c.acceleration.size() < 2) return fail("fewer than two samples");
    if (!options.units) {
      return fail(t.counts ? "the samples are counts: give --units and --counts-per-unit"
                           : "the samples are of unknown unit: give --units g, gal or m/s2");
    }
    if (t.counts && !per_unit) {
      return fail("the samples are counts: give --counts-per-unit (counts per " +
                  std::string(base::unit_name(*options.units)) + ")");
    }
    const double scale = base::in_gal(*options.units);
    if (per_unit) {
      c.unit = "counts";
      for (double& v : c.acceleration) v = v / *per_unit * scale;
    } else {
      c.unit = base::unit_name(*options.units);
      for (double& v : c.acceleration) v = v * scale;
    }
    for (std::size_t k = 0; k < c.acceleration.size(); ++k) {
      if (!std::isfinite(c.acceleration[k])) {
        return fail("sample " + std::to_string(k + 1) + " is not finite in cm/s2");
      }
    }
    result.components.push_back(std::move(c));
  }
  return result;
}

}  // namespace records
