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

// What the files of one station's components have in common in their names, so that they are
// read together and their horizontals can pair up; empty when a name tells nothing:
// - PEER: the record number (RSN6_IMPVALL.I_I-ELC180.AT2 gives RSN6);
// - K-NET and KiK-net: the name without its extension and the sensor's depth (AKT0070812172350
//   with .NS, .EW, .UD; KiK-net .NS1 with .EW1 at depth, .NS2 with .EW2 at the surface);
// - SEED names: the name with the orientation letter of its channel code left out
//   (IU.ANMO.00.BH1.sac with IU.ANMO.00.BH2.sac; IT.AQK..HNE.D.20090406... with ...HNN...).
std::string station_key(std::string_view path);

}  // namespace records
