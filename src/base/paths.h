// File names: the last part of a path and its stem, without the operating system.
#pragma once

#include <string>
#include <string_view>

namespace base {

// "dir/RSN6_X.AT2" gives "RSN6_X.AT2"; a name without a slash is itself.
std::string_view base_name(std::string_view path);
// The base name without its last extension: "RSN6_X.AT2" gives "RSN6_X"; ".hidden" stays.
std::string_view stem(std::string_view path);
// The folder of a path: "a/b.csv" gives "a", "b.csv" gives "" (the current one), "/b" gives "/".
std::string folder_of(std::string_view path);
// The path with its last extension (if any) replaced: ("a/b.csv", ".svg") gives "a/b.svg".
std::string with_extension(std::string_view path, std::string_view extension);

}  // namespace base

#include <vector>

namespace base {

// A text fit to be part of a file name: anything but letters, digits and ._+- becomes _.
std::string file_name_part(std::string_view text);

// A list of paths, one per line: edge blanks trimmed, blank lines and lines starting with #
// skipped.
std::vector<std::string> read_path_list(std::string_view text);

}  // namespace base
