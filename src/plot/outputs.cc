#include "plot/outputs.h"

#include <charconv>
#include <cmath>

namespace plot {
namespace {

struct known_header {
  std::string_view text;
  file_kind kind;
  std::size_t columns;
};

constexpr known_header headers[] = {
    {" time(s),vel1,vel2,vel3", file_kind::ground_velocity, 4},
    {" time(s),Ek(Kinematic),Ep(Potential),Ed(damping),Et(Total)", file_kind::energy, 5},
    {" time(s),InAcc1,Acc1,Vel1,Dis1,InAcc2,Acc2,Vel2,Dis2   ,InAcc3,Acc3,Vel3,Dis3",
     file_kind::response_wave, 13},
};

// A field: F or E format, right-justified; E without its letter when the exponent has three
// digits (0.1000000+101). Asterisks and texts such as nan are gaps.
bool field(std::string_view text, double& value, bool& gap) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  gap = false;
  if (text.empty()) return false;
  if (text.find_first_not_of('*') == std::string_view::npos) {
    gap = true;
    return true;
  }
  if (text.size() > 40) return false;
  char number[48];
  std::size_t length = 0;
  // The letter goes before the exponent's sign: the first sign after the start, once.
  bool letter = text.find_first_of("Ee") != std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!letter && i > 0 && (text[i] == '+' || text[i] == '-')) {
      number[length++] = 'E';
      letter = true;
    }
    number[length++] = text[i];
  }
  const char* end = number + length;
  const auto r = std::from_chars(number + (number[0] == '+' ? 1 : 0), end, value);
  if (r.ec == std::errc() && r.ptr == end && std::isfinite(value)) return true;
  for (std::string_view special : {"nan", "NAN", "inf", "INF", "-inf", "-INF"}) {
    if (text == special) {
      gap = true;
      return true;
    }
  }
  return false;
}

}  // namespace

bool is_output(std::string_view head) {
  std::string_view header = head.substr(0, head.find('\n'));
  if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
  for (const known_header& h : headers) {
    if (header == h.text) return true;
  }
  return false;
}

table_result read_output(std::string_view text) {
  table_result r;
  std::size_t end = text.find('\n');
  std::string_view header = text.substr(0, end);
  if (!header.empty() && header.back() == '\r') header.remove_suffix(1);
  const known_header* known = nullptr;
  for (const known_header& h : headers) {
    if (header == h.text) known = &h;
  }
  if (!known) {
    r.line = 1;
    r.error = "not a file that sdofresp writes (Ground-Vel.csv, an energy or a response-wave file)";
    return r;
  }
  r.table.kind = known->kind;
  r.table.columns.resize(known->columns);
  std::size_t line = 1;
  while (end != std::string_view::npos && end + 1 < text.size()) {
    text.remove_prefix(end + 1);
    ++line;
    end = text.find('\n');
    std::string_view row = text.substr(0, end);
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (row.empty()) continue;
    std::size_t column = 0;
    for (;;) {
      const std::size_t comma = row.find(',');
      double value = 0;
      bool gap = false;
      if (column >= known->columns || !field(row.substr(0, comma), value, gap)) {
        r.line = line;
        r.error = column >= known->columns
                      ? "more fields than the header"
                      : "not a number: '" + std::string(row.substr(0, comma)) + "'";
        return r;
      }
      r.table.columns[column].push_back(gap ? NAN : value);
      if (gap) ++r.table.missing;
      ++column;
      if (comma == std::string_view::npos) break;
      row.remove_prefix(comma + 1);
    }
    if (column != known->columns) {
      r.line = line;
      r.error = "fewer fields than the header";
      return r;
    }
  }
  return r;
}

}  // namespace plot
