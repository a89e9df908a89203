#include "records/names.h"

#include "base/paths.h"
#include "base/strings.h"

namespace records {

bool is_vertical_name(std::string_view name) {
  const std::string n = base::lower(base::trim(name));
  for (const char* v : {"up", "dwn", "down", "v", "ver", "vert", "z", "ud"}) {
    if (n == v) return true;
  }
  for (const char* suffix : {"up", "dwn", "-v", "ver"}) {
    const std::string_view s = suffix;
    if (n.size() > s.size() && std::string_view(n).substr(n.size() - s.size()) == s) return true;
  }
  return false;
}

std::string record_sequence_number(std::string_view path) {
  const std::string_view name = base::base_name(path);
  if (name.size() < 5 || base::lower(name.substr(0, 3)) != "rsn") return {};
  std::size_t end = 3;
  while (end < name.size() && name[end] >= '0' && name[end] <= '9') ++end;
  if (end == 3 || end >= name.size() || name[end] != '_') return {};
  return "RSN" + std::string(name.substr(3, end - 3));
}

std::string station_key(std::string_view path) {
  const std::string rsn = record_sequence_number(path);
  if (!rsn.empty()) return rsn;
  const std::string_view name = base::base_name(path);
  const std::string_view stem = base::stem(path);
  if (stem.size() < name.size()) {
    const std::string extension = base::lower(name.substr(stem.size() + 1));
    for (const char* direction : {"ns", "ew", "ud"}) {
      const std::string_view d = direction;
      if (extension == d) return std::string(stem) + ".";
      if (extension.size() == 3 && extension.substr(0, 2) == d &&
          (extension[2] == '1' || extension[2] == '2')) {
        return std::string(stem) + "." + extension[2];
      }
    }
  }
  // A SEED channel code among the parts between dots: band, instrument, orientation.
  std::string key(name);
  std::size_t start = 0;
  for (std::string_view part : base::split(name, '.')) {
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (part.size() == 3 && upper(part[0]) && upper(part[1]) &&
        std::string_view("ZNE123").find(part[2]) != std::string_view::npos) {
      key[start + 2] = '?';
      return key;
    }
    start += part.size() + 1;
  }
  return {};
}

}  // namespace records
