#include "textio/runtime_error.h"

namespace textio {
namespace {

const char* runtime_text(int number) {
  static const char* const texts[] = {
      "error in format",                                  // 100
      "illegal unit number",                              // 101
      "formatted io not allowed",                         // 102
      "unformatted io not allowed",                       // 103
      "direct io not allowed",                            // 104
      "sequential io not allowed",                        // 105
      "can't backspace file",                             // 106
      "null file name",                                   // 107
      "can't stat file",                                  // 108
      "unit not connected",                               // 109
      "off end of record",                                // 110
      "truncation failed in endfile",                     // 111
      "incomprehensible list input",                      // 112
      "out of free space",                                // 113
      "unit not connected",                               // 114
      "read unexpected character",                        // 115
      "bad logical input field",                          // 116
      "bad variable type",                                // 117
      "bad namelist name",                                // 118
      "variable not in namelist",                         // 119
      "no end record",                                    // 120
      "variable count incorrect",                         // 121
      "subscript for scalar variable",                    // 122
      "invalid array section",                            // 123
      "substring out of bounds",                          // 124
      "subscript out of bounds",                          // 125
      "can't read file",                                  // 126
      "can't write file",                                 // 127
      "'new' file exists",                                // 128
      "can't append to file",                             // 129
      "non-positive record number",                       // 130
      "I/O started while already doing I/O",              // 131
      "Temporary file name (TMPDIR?) too long",           // 132
      "output would overwrite the ground-motion record",  // 133
  };
  constexpr int first = 100;
  constexpr int count = sizeof texts / sizeof texts[0];
  return number >= first && number < first + count ? texts[number - first] : nullptr;
}

}  // namespace

std::string format_report(const io_error& error, const io_state& state,
                          const unit_description& unit, std::string_view system_text) {
  std::string report = error.context;
  if (error.number == end_of_input) {
    report += ": end of file\n";
  } else if (const char* text = runtime_text(error.number)) {
    report += ": ";
    report += text;
    report += '\n';
  } else if (error.number >= 0 && error.number < 100) {
    report += ": ";
    report += system_text;
    report += '\n';
  } else {
    report += ": illegal error number " + std::to_string(error.number) + '\n';
  }

  if (state.unit < 0) {
    report += "apparent state: internal I/O\n";
  } else {
    report += "apparent state: unit " + std::to_string(state.unit) + ' ';
    report += unit.console ? std::string("(unnamed)") : "named " + std::string(unit.name);
    report += '\n';
  }
  if (!state.format.empty()) {
    report += "last format: ";
    report += state.format;
    report += '\n';
  }
  report += "lately ";
  report += state.writing ? "writing" : "reading";
  report += " sequential formatted external IO\n";
  return report;
}

}  // namespace textio
