// Files of the seismological formats written from their published layouts, for the tests and
// the benchmarks: K-NET and ESM files may not be redistributed, so they are made here.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// A K-NET or KiK-net file: 17 header lines (labels in columns 1 to 18), then counts 8 a line.
struct knet_layout {
  std::string origin = "2014/12/31 23:49:00";
  std::string station = "CHB003";
  std::string record_time = "2014/12/31 23:50:11";
  std::string frequency = "100Hz";
  std::string direction = "N-S";
  std::string scale = "7845(gal)/8223790";
  std::string max_acc = "2.425";
  std::string line_end = "\n";
};

inline std::string knet_file(const knet_layout& k, const std::vector<long long>& counts) {
  const std::pair<const char*, std::string> header[] = {{"Origin Time", k.origin},
                                                        {"Lat.", "35.785"},
                                                        {"Long.", "139.887"},
                                                        {"Depth. (km)", "84"},
                                                        {"Mag.", "4.2"},
                                                        {"Station Code", k.station},
                                                        {"Station Lat.", "35.7943"},
                                                        {"Station Long.", "140.0564"},
                                                        {"Station Height(m)", "28"},
                                                        {"Record Time", k.record_time},
                                                        {"Sampling Freq(Hz)", k.frequency},
                                                        {"Duration Time(s)", "60"},
                                                        {"Dir.", k.direction},
                                                        {"Scale Factor", k.scale},
                                                        {"Max. Acc. (gal)", k.max_acc},
                                                        {"Last Correction", "2014/12/31 23:50:12"},
                                                        {"Memo.", ""}};
  std::string text;
  char field[32];
  for (const auto& [label, value] : header) {
    std::snprintf(field, sizeof field, "%-18s", label);
    text += field + value + k.line_end;
  }
  for (std::size_t i = 0; i < counts.size(); ++i) {
    std::snprintf(field, sizeof field, "%8lld ", counts[i]);
    text += field;
    if (i % 8 == 7 || i + 1 == counts.size()) text += k.line_end;
  }
  return text;
}

// An ESM/ITACA DYNA file: its keys in order, with the values given (others empty), then one
// value a line. DYNA 1.0 has 55 keys, ESM's 1.2 64.
inline std::vector<std::string> dyna_keys(bool esm) {
  const std::string all =
      "EVENT_NAME EVENT_ID EVENT_DATE_YYYYMMDD EVENT_TIME_HHMMSS EVENT_LATITUDE_DEGREE "
      "EVENT_LONGITUDE_DEGREE EVENT_DEPTH_KM HYPOCENTER_REFERENCE MAGNITUDE_W "
      "MAGNITUDE_W_REFERENCE MAGNITUDE_L MAGNITUDE_L_REFERENCE FOCAL_MECHANISM NETWORK "
      "STATION_CODE STATION_NAME STATION_LATITUDE_DEGREE STATION_LONGITUDE_DEGREE "
      "STATION_ELEVATION_M LOCATION +SENSOR_DEPTH_M VS30_M/S SITE_CLASSIFICATION_EC8 "
      "MORPHOLOGIC_CLASSIFICATION EPICENTRAL_DISTANCE_KM EARTHQUAKE_BACKAZIMUTH_DEGREE "
      "DATE_TIME_FIRST_SAMPLE_YYYYMMDD_HHMMSS DATE_TIME_FIRST_SAMPLE_PRECISION "
      "SAMPLING_INTERVAL_S NDATA DURATION_S STREAM UNITS INSTRUMENT INSTRUMENT_ANALOG/DIGITAL "
      "INSTRUMENTAL_FREQUENCY_HZ INSTRUMENTAL_DAMPING FULL_SCALE_G N_BIT_DIGITAL_CONVERTER "
      "PGA_CM/S^2 TIME_PGA_S BASELINE_CORRECTION FILTER_TYPE FILTER_ORDER LOW_CUT_FREQUENCY_HZ "
      "HIGH_CUT_FREQUENCY_HZ LATE/NORMAL_TRIGGERED DATABASE_VERSION HEADER_FORMAT DATA_TYPE "
      "PROCESSING DATA_TIMESTAMP_YYYYMMDD_HHMMSS +DATA_LICENSE +DATA_CITATION +DATA_CREATOR "
      "+ORIGINAL_DATA_MEDIATOR_CITATION +ORIGINAL_DATA_MEDIATOR +ORIGINAL_DATA_CREATOR_CITATION "
      "+ORIGINAL_DATA_CREATOR USER1 USER2 USER3 USER4 +USER5";
  std::vector<std::string> keys;  // "+" marks the keys ESM's DYNA 1.2 added
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = std::min(all.find(' ', at), all.size());
    const std::string key = all.substr(at, end - at);
    if (key[0] != '+') keys.push_back(key);
    if (key[0] == '+' && esm) keys.push_back(key.substr(1));
    at = end + 1;
  }
  return keys;
}

inline std::string esm_file(bool esm, const std::map<std::string, std::string>& values,
                            const std::vector<std::string>& samples,
                            const std::string& line_end = "\n") {
  std::string text;
  for (const std::string& key : dyna_keys(esm)) {
    const auto v = values.find(key);
    text += key + ": " + (v == values.end() ? "" : v->second) + line_end;
  }
  for (const std::string& s : samples) text += s + line_end;
  return text;
}

// SAC: the fields the readers use; every other one is left undefined (-12345).
struct sac_layout {
  float delta = 0.01f, b = 0, cmpaz = -12345, cmpinc = -12345;
  int nzyear = 2004, nzjday = 60, nzhour = 11, nzmin = 22, nzsec = 33, nzmsec = 444;
  int nvhdr = 6, iftype = 1, idep = 5, leven = 1;
  std::string kstnm = "ABC", kevnm = "", khole = "00", kcmpnm = "HNE", knetwk = "XX";
};

struct sac_header_values {
  float reals[70];
  std::int32_t integers[40];
  char strings[192];
};

inline sac_header_values sac_values(const sac_layout& s, std::size_t count) {
  sac_header_values h;
  for (float& f : h.reals) f = -12345;
  for (std::int32_t& i : h.integers) i = -12345;
  for (std::size_t k = 0; k < 192; k += 8) std::memcpy(h.strings + k, "-12345  ", 8);
  const auto put = [&](std::size_t offset, std::size_t width, const std::string& v) {
    std::memset(h.strings + offset, ' ', width);
    std::memcpy(h.strings + offset, v.data(), std::min(width, v.size()));
  };
  h.reals[0] = s.delta;
  h.reals[5] = s.b;
  h.reals[57] = s.cmpaz;
  h.reals[58] = s.cmpinc;
  const int z[] = {s.nzyear, s.nzjday, s.nzhour, s.nzmin, s.nzsec, s.nzmsec, s.nvhdr};
  std::copy(std::begin(z), std::end(z), h.integers);
  h.integers[9] = static_cast<std::int32_t>(count);
  h.integers[15] = s.iftype;
  h.integers[16] = s.idep;
  h.integers[35] = s.leven;
  put(0, 8, s.kstnm);
  put(8, 16, s.kevnm);
  put(24, 8, s.khole);
  put(160, 8, s.kcmpnm);
  put(168, 8, s.knetwk);
  return h;
}

inline void append_word(std::string& out, std::uint32_t u, bool big_endian) {
  const bool swap = big_endian == (std::endian::native == std::endian::little);
  if (swap) u = __builtin_bswap32(u);
  out.append(reinterpret_cast<const char*>(&u), 4);
}

inline std::string sac_binary(const sac_layout& s, const std::vector<float>& samples,
                              bool big_endian) {
  const sac_header_values h = sac_values(s, samples.size());
  std::string out;
  out.reserve(632 + 4 * samples.size());
  for (float f : h.reals) append_word(out, std::bit_cast<std::uint32_t>(f), big_endian);
  for (std::int32_t i : h.integers) append_word(out, static_cast<std::uint32_t>(i), big_endian);
  out.append(h.strings, 192);
  for (float f : samples) append_word(out, std::bit_cast<std::uint32_t>(f), big_endian);
  return out;
}

// The text layout: reals in G15.7, integers in I10, the names, then 5 values a line.
inline std::string sac_alphanumeric(const sac_layout& s, const std::vector<double>& samples) {
  const sac_header_values h = sac_values(s, samples.size());
  std::string out;
  char field[40];
  for (int i = 0; i < 70; ++i) {
    std::snprintf(field, sizeof field, "%15.7g", static_cast<double>(h.reals[i]));
    out += field;
    if (i % 5 == 4) out += '\n';
  }
  for (int i = 0; i < 40; ++i) {
    std::snprintf(field, sizeof field, "%-10d", h.integers[i]);
    out += field;
    if (i % 5 == 4) out += '\n';
  }
  for (int line = 0; line < 8; ++line) out += std::string(h.strings + 24 * line, 24) + '\n';
  for (std::size_t i = 0; i < samples.size(); ++i) {
    std::snprintf(field, sizeof field, "%15.7g", samples[i]);
    out += field;
    if (i % 5 == 4 || i + 1 == samples.size()) out += '\n';
  }
  return out;
}

}  // namespace testing_support

namespace testing_support {

// The texts of one column of a table with a header line ("Time(s),NS(gal),...").
inline std::vector<std::string> column_texts(const std::string& table, std::size_t column) {
  std::vector<std::string> texts;
  std::size_t at = table.find('\n') + 1;
  while (at < table.size()) {
    std::size_t end = table.find('\n', at);
    if (end == std::string::npos) end = table.size();
    std::size_t from = at;
    for (std::size_t k = 0; k < column; ++k) from = table.find(',', from) + 1;
    std::size_t to = std::min(table.find(',', from), end);
    if (to > from && table[to - 1] == '\r') --to;
    if (end > at) texts.push_back(table.substr(from, to - from));
    at = end + 1;
  }
  return texts;
}

}  // namespace testing_support
