// The formats records come in, each a reader of its own, told apart by content: every reader
// has a cheap test on the first bytes of a file, and they are tried in a fixed order.
#pragma once

#include <span>
#include <string_view>

#include "records/component.h"

namespace records {

// How many bytes of a file the recognisers look at, at most.
inline constexpr std::size_t head_size = 4096;

struct format {
  std::string_view name;         // as --format takes it: "at2", "knet", "cosmos"...
  std::string_view description;  // a few words for --help and messages
  // Whether the first bytes (at most head_size) look like this format.
  bool (*recognises)(std::string_view head);
  read_result (*read)(std::string_view bytes, const read_options& options);
};

// Every format, in the order they are tried.
std::span<const format> formats();
// The format of that name, or nullptr.
const format* format_named(std::string_view name);

// Ok when a format recognises the first bytes of a file (or one is forced), else why not.
base::status recognise(std::string_view head, const format* forced = nullptr);

// Reads with the first format that recognises the bytes, or with `forced` when given. A file
// no reader recognises is refused with the list of the formats tried.
read_result read_any(std::string_view bytes, const read_options& options,
                     const format* forced = nullptr);

}  // namespace records
