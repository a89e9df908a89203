// List-directed records: texts, integers and doubles, with the 80-column rule.
#include "textio/record.h"

#include "textio/fields.h"

namespace textio {
namespace {

constexpr std::size_t line_limit = 80;

}  // namespace

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
