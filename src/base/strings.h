// Small helpers on text: trimming, case, splitting, lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Without blanks, tabs, CR and LF at either end.
std::string_view trim(std::string_view text);
// ASCII letters in lower case; other bytes as they are.
std::string lower(std::string_view text);
// The parts between separators (an empty text gives one empty part).
std::vector<std::string_view> split(std::string_view text, char separator);
// The 1-based line of text that holds the byte at offset.
std::size_t line_at(std::string_view text, std::size_t offset);
// The text shown in a message: control characters (escape and line ends among them) as \xHH,
// so that a file's bytes never act on the terminal; at most limit bytes, and "..." after.
std::string printable(std::string_view text, std::size_t limit = 40);

}  // namespace base
