// One straight pass: load the record and write its ground velocities, then compute and write
// the response of the oscillator the user describes.
#include "response/main_program.h"

#include <algorithm>
#include <cmath>

#include "edge/disk.h"
#include "response/ground_velocity.h"
#include "response/resp.h"
#include "response/samples.h"
#include "textio/statements.h"
#include "textio/units.h"

namespace response {
namespace {

using textio::connect;
using textio::disconnect;
using textio::read_list;
using textio::read_text_line;
using textio::write_formatted;
using textio::write_list;

constexpr int console_in = textio::console_input;
constexpr int console_out = textio::console_output;
constexpr int record_unit = 11;  // the record, then Ground-Vel.csv
constexpr int wave_unit = 12;
constexpr int energy_unit = 15;

constexpr textio::record_format ground_velocity_line = textio::parse_format("(F8.4,3(',',F12.4))");
constexpr textio::record_format response_wave_line = textio::parse_format("(F9.4,12(',',E15.7))");
constexpr textio::record_format energy_line = textio::parse_format("(F9.4,4(',',F9.4))");

// 2 pi as the program has always written it; periods and frequencies follow from this value.
constexpr double two_pi = 6.28318530718;

// The arrays fill 16.8 MB at the capacity. Faulted in 4 KiB pages they take a tenth of a
// run at the capacity, so the storage is aligned for huge pages and they are asked for.
constexpr std::size_t huge_page = 2 * 1024 * 1024;
alignas(huge_page) sample_arrays arrays;

// The samples that a run has written, so that a second run in the same process (a test) starts
// from zero arrays as the first one does.
int samples_used = 0;

void clear_used_samples() {
  for (series* s :
       {&arrays.time, &arrays.ddy1, &arrays.ddy2, &arrays.ddy3, &arrays.dy1, &arrays.dy2,
        &arrays.dy3, &arrays.acc1, &arrays.acc2, &arrays.acc3, &arrays.vel1, &arrays.vel2,
        &arrays.vel3, &arrays.dis1, &arrays.dis2, &arrays.dis3}) {
    for (int m = 1; m <= samples_used; ++m) (*s)(m) = 0;
  }
  samples_used = 0;
}

// The energy lines of one component, on the unit its caller has connected.
class energy_file final : public energy_sink {
 public:
  void line(double time, double ek, double ep, double ed, double et) override {
    write_formatted<energy_line>(energy_unit, {time, ek, ep, ed, et});
  }
};

std::string_view as_name(const textio::text40& text) {
  return {text.data(), text.size()};
}

// Reads the samples to the end of the record and returns how many there are. Samples beyond
// the capacity are still read, into scratch values, so that the count is the record's own.
int read_samples() {
  double scratch[4];
  int i = 1;
  for (;; ++i) {
    const bool stored = i <= mm;
    double& time = stored ? arrays.time(i) : scratch[0];
    double& ddy1 = stored ? arrays.ddy1(i) : scratch[1];
    double& ddy2 = stored ? arrays.ddy2(i) : scratch[2];
    double& ddy3 = stored ? arrays.ddy3(i) : scratch[3];
    if (!textio::read_list_until_end(record_unit, {time, ddy1, ddy2, ddy3})) break;
  }
  return i - 1;
}

// Loads the record named at the console, reports it and writes Ground-Vel.csv. Returns the
// sample count; a record over the capacity ends the run here.
int load_record(double& dt) {
  sample_arrays& a = arrays;
  write_list(console_out, {});
  write_list(console_out, {"Enter File Name for Ground Motion Acceleraration:"});
  textio::text40 infile;
  read_text_line(console_in, infile);

  connect(record_unit, as_name(infile));
  textio::protect_record(record_unit);  // no output of this run may replace the record
  textio::text40 head1, head2, head3, head4;
  read_list(record_unit, {head1, head2, head3, head4});
  samples_used = mm;  // until the count is known
  const int nn = read_samples();
  samples_used = std::min(nn + 1, mm);  // the last read may have stored part of a sample
  disconnect(record_unit);

  // Only the first two times enter the computation; later ones are copied to the files.
  dt = a.time(2) - a.time(1);
  write_list(console_out, {"nn and DT=", nn, dt});
  if (nn > mm) {
    write_list(console_out, {" nn > mm !!!!!"});
    write_list(console_out, {"nn and mm=", nn, mm});
    double dummy = 0;
    read_list(console_in, {dummy});  // the user acknowledges
    textio::stop(1);                 // a refused record is a failure for scripts
  }
  const double dt2 = dt / 2;

  write_list(console_out, {});
  write_list(console_out, {"Ground velocities are seved in \"Ground-Vel.csv\""});
  write_list(console_out, {"Check the ground velocity waveforms!"});
  connect(record_unit, "Ground-Vel.csv");
  integrate_ground_velocity(a.ddy1, a.dy1, nn, dt2);
  integrate_ground_velocity(a.ddy2, a.dy2, nn, dt2);
  integrate_ground_velocity(a.ddy3, a.dy3, nn, dt2);
  write_list(record_unit, {"time(s),vel1,vel2,vel3"});
  // The first line shows the time 0 whatever the record's first time is.
  write_formatted<ground_velocity_line>(record_unit, {0.0, a.dy1(1), a.dy2(1), a.dy3(1)});
  for (int i = 2; i <= nn; ++i) {
    write_formatted<ground_velocity_line>(record_unit, {a.time(i), a.dy1(i), a.dy2(i), a.dy3(i)});
  }
  disconnect(record_unit);
  return nn;
}

// Asks for the oscillator, writes one energy file per component and the response-wave file.
[[noreturn]] void response_run(int nn, double dt) {
  sample_arrays& a = arrays;
  write_list(console_out, {});
  write_list(console_out, {"Enter Period for the Respose Building(s)"});
  double per = 0;  // a null answer leaves zero
  read_list(console_in, {per});
  const double om = two_pi / per;
  write_list(console_out, {"Enter Damping Factor for the Respose Building"});
  double h = 0;
  read_list(console_in, {h});
  const double omh = om * std::sqrt(1.0 - h * h);
  const double perh = two_pi / omh;
  write_list(console_out, {});
  write_list(console_out, {"T and damping T =", per, perh});

  struct component {
    const char* energy_file;
    series& ddy;
    series& dy;
    series& acc;
    series& vel;
    series& dis;
    response_peaks peaks;  // computed, written nowhere
  };
  component components[] = {
      {"Energy-Density-wave1.csv", a.ddy1, a.dy1, a.acc1, a.vel1, a.dis1, {}},
      {"Energy-Density-wave2.csv", a.ddy2, a.dy2, a.acc2, a.vel2, a.dis2, {}},
      {"Energy-Density-wave3.csv", a.ddy3, a.dy3, a.acc3, a.vel3, a.dis3, {}},
  };
  for (component& c : components) {
    connect(energy_unit, c.energy_file);
    write_list(energy_unit, {"time(s),Ek(Kinematic),Ep(Potential),Ed(damping),Et(Total)"});
    energy_file energy;
    resp(h, om, dt, nn, c.ddy, c.dy, c.acc, c.vel, c.dis, c.peaks, energy);
    disconnect(energy_unit);
  }

  write_list(console_out, {});
  write_list(console_out, {"Enter Output File Name for Response Wave (*.csv)"});
  textio::text40 otfile;
  read_text_line(console_in, otfile);
  connect(wave_unit, as_name(otfile));
  write_list(wave_unit, {"time(s),InAcc1,Acc1,Vel1,Dis1,InAcc2,Acc2,Vel2,Dis2   ,InAcc3,Acc3,"
                         "Vel3,Dis3"});
  for (int i = 1; i <= nn; ++i) {
    write_formatted<response_wave_line>(
        wave_unit, {a.time(i), a.ddy1(i), a.acc1(i), a.vel1(i), a.dis1(i), a.ddy2(i), a.acc2(i),
                    a.vel2(i), a.dis2(i), a.ddy3(i), a.acc3(i), a.vel3(i), a.dis3(i)});
  }
  disconnect(wave_unit);
  textio::stop(0);
}

}  // namespace

void main_program() {
  edge::advise_huge_pages(&arrays, sizeof arrays);
  clear_used_samples();
  double dt = 0;
  const int nn = load_record(dt);
  response_run(nn, dt);
}

}  // namespace response
