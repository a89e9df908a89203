#include "tables/csv.h"

#include <cmath>

#include "base/numbers.h"

namespace tables {

std::string header(std::span<const column> columns) {
  std::string line;
  for (const column& c : columns) {
    if (!line.empty()) line += ',';
    line += c.name;
  }
  return line + '\n';
}

std::string csv_field(std::string_view text) {
  const bool quote = text.find_first_of(",\"\n\r") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

row& row::text(std::string_view field) {
  separate();
  out_ += csv_field(field);
  return *this;
}

row& row::number(double value) {
  separate();
  if (!std::isnan(value)) base::append_shortest(out_, value);
  return *this;
}

row& row::whole(long long value) {
  separate();
  out_ += std::to_string(value);
  return *this;
}

row& row::empty(std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) separate();
  return *this;
}

}  // namespace tables
