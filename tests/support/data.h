// The bundled records, read as sdofspec reads them.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "records/registry.h"

namespace testing_support {

inline std::string file_text(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A record's components and their interval.
struct motion {
  double dt = 0;
  std::vector<records::component> components;
};

inline motion read_motion(const std::string& path) {
  records::read_result r = records::read_any(file_text(path), {});
  motion m;
  if (!r.ok() || r.components.empty()) return m;
  m.dt = r.components[0].dt;
  m.components = std::move(r.components);
  return m;
}

}  // namespace testing_support
