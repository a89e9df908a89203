#include "base/paths.h"

namespace base {

std::string_view base_name(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view stem(std::string_view path) {
  const std::string_view name = base_name(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string folder_of(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string with_extension(std::string_view path, std::string_view extension) {
  const std::size_t name_start = path.size() - base_name(path).size();
  return std::string(path.substr(0, name_start)) + std::string(stem(path)) + std::string(extension);
}

}  // namespace base

#include "base/strings.h"

namespace base {

std::string file_name_part(std::string_view text) {
  std::string name(text);
  for (char& c : name) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '+' || c == '-';
    if (!keep) c = '_';
  }
  return name;
}

std::vector<std::string> read_path_list(std::string_view text) {
  std::vector<std::string> paths;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trim(text.substr(0, end));
    if (!line.empty() && line.front() != '#') paths.emplace_back(line);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return paths;
}

}  // namespace base
