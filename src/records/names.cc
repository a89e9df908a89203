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

}  // namespace records
