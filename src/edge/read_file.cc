#include "edge/read_file.h"

#include <algorithm>
#include <new>

namespace edge {

file_content read_file(disk& d, const std::string& path, std::size_t most_bytes,
                       const head_check& check, std::size_t head_bytes) {
  file_content r;
  const auto fail = [&](std::string what, base::code code = base::code::io) {
    r.text.clear();
    r.text.shrink_to_fit();
    r.status = base::failure(std::move(what), code);
    r.status.file = path;
    return std::move(r);
  };
  const std::string too_long =
      "more than the " +
      (most_bytes % (1 << 20) == 0 ? std::to_string(most_bytes >> 20) + " MiB"
                                   : std::to_string(most_bytes) + " bytes") +
      " a file may have";
  const bool standard = path == "-";
  const int handle = standard ? standard_input : d.open(path, open_mode::read_only);
  if (handle < 0) return fail(d.error_text(-handle));
  const file_status s = d.status(handle);
  const auto close = [&] {
    if (!standard) (void)d.close(handle);
  };
  if (s.folder) {
    close();
    return fail("is a folder, not a file");
  }
  if (s.regular && s.size > most_bytes) {
    close();
    return fail(too_long, base::code::limit);
  }
  try {
    // A file's size known, its text grows in place: no copying as it grows.
    if (s.regular) r.text.reserve(static_cast<std::size_t>(s.size));
    char buffer[1 << 16];
    bool head_checked = !check;
    for (;;) {
      const long n = d.read(handle, buffer, sizeof buffer);
      if (n < 0) {
        close();
        return fail(d.error_text(static_cast<int>(-n)));
      }
      const auto count = static_cast<std::size_t>(n);
      if (!head_checked && (n == 0 || r.text.size() + count >= head_bytes)) {
        head_checked = true;
        std::string head = r.text;
        head.append(buffer, std::min(count, head_bytes - std::min(head_bytes, head.size())));
        base::status ok = check(head);
        if (!ok.ok()) {
          close();
          r.status = std::move(ok);
          r.status.file = path;
          r.text.clear();
          return r;
        }
      }
      if (n == 0) break;
      if (r.text.size() + count > most_bytes) {
        close();
        return fail(too_long, base::code::limit);
      }
      r.text.append(buffer, static_cast<std::size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    close();
    return fail("not enough memory to read it", base::code::limit);
  }
  close();
  return r;
}

}  // namespace edge
