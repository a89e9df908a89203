// What names of components and files tell: which components are vertical, which AT2 files
// belong to one record of the PEER database.
#pragma once

#include <string>
#include <string_view>

namespace records {

// Whether a component name stands for the vertical (UP, DWN, V, VER, Z, UD and the like).
bool is_vertical_name(std::string_view name);

// "RSN123_..." gives "RSN123", the record number of the PEER database; empty otherwise.
std::string record_sequence_number(std::string_view path);

}  // namespace records
