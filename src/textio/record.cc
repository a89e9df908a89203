// Formatted and list-directed records, built from the field formatters.
#include "textio/record.h"

#include <cassert>

#include "textio/fields.h"

namespace textio {
namespace {

char* render_field(char* out, const field& f, double value) {
  return f.kind == 'F' ? format_fixed(out, value, f.width, f.decimals)
                       : format_exponential(out, value, f.width, f.decimals);
}

constexpr std::size_t line_limit = 80;

}  // namespace

char* render_formatted(char* out, const record_format& format, std::span<const double> items) {
  assert(static_cast<int>(items.size()) == format.items());
  out = render_field(out, format.first, items[0]);
  for (std::size_t i = 1; i < items.size(); ++i) {
    *out++ = ',';
    out = render_field(out, format.repeated, items[i]);
  }
  return out;
}

void render_list(std::span<const list_item> items, std::string& out) {
  std::size_t record_start = out.size();
  for (const list_item& item : items) {
    char number[list_double_max];
    std::string_view rendering;
    std::size_t width = 0;
    switch (item.type()) {
      case list_item::kind::text:
        rendering = item.text();
        width = rendering.size();
        break;
      case list_item::kind::integer:
        rendering = {number, format_list_integer(number, item.integer())};
        width = rendering.size() - 1;  // the digits, not the blank before them
        break;
      case list_item::kind::real:
        rendering = {number, format_list_double(number, item.real())};
        width = rendering.size();
        break;
    }
    const std::size_t length = out.size() - record_start;
    if (length > 0 && length + width >= line_limit) {
      out += '\n';
      record_start = out.size();
    }
    // A text that starts a record is set off by one blank.
    if (item.type() == list_item::kind::text && out.size() == record_start) out += ' ';
    out += rendering;
  }
  out += '\n';
}

}  // namespace textio
