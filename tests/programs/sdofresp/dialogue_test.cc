// The program run end to end in a fresh folder: console transcript and every file it writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/program.h"
#include "support/reference_fields.h"

namespace {

using testing_support::record_text;
using testing_support::run_program;
using testing_support::temp_folder;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::string data_file(const std::string& name) {
  std::ifstream file(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

const char* const energy_files[] = {"Energy-Density-wave1.csv", "Energy-Density-wave2.csv",
                                    "Energy-Density-wave3.csv"};
const std::string ground_velocity_header = " time(s),vel1,vel2,vel3";
const std::string energy_header = " time(s),Ek(Kinematic),Ep(Potential),Ed(damping),Et(Total)";
const std::string wave_header =
    " time(s),InAcc1,Acc1,Vel1,Dis1,InAcc2,Acc2,Vel2,Dis2   ,InAcc3,Acc3,Vel3,Dis3";
const std::string zero_velocity_line = "  0.0000,      0.0000,      0.0000,      0.0000";
const std::string zero_energy_line = "   0.0000,   0.0000,   0.0000,   0.0000,   0.0000";

std::string transcript(const std::string& count_and_interval, const std::string& periods) {
  return "\n"
         " Enter File Name for Ground Motion Acceleraration:\n"
         " nn and DT=" +
         count_and_interval +
         "\n"
         "\n"
         " Ground velocities are seved in \"Ground-Vel.csv\"\n"
         " Check the ground velocity waveforms!\n"
         "\n"
         " Enter Period for the Respose Building(s)\n"
         " Enter Damping Factor for the Respose Building\n"
         "\n"
         " T and damping T =" +
         periods +
         "\n"
         "\n"
         " Enter Output File Name for Response Wave (*.csv)\n";
}

TEST(Dialogue, TranscriptOfANormalRun) {
  temp_folder folder;
  folder.write("rec.csv", record_text(2000, 0.01));
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
  EXPECT_TRUE(result.exited_with(0));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, transcript(" 2000  0.01", "  1.  1.00125235"));
}

// Layout and values that follow from the record alone, on a real three-component record.
TEST(Dialogue, FilesOfARealRecord) {
  temp_folder folder;
  const std::string record = data_file("elcentro1940-ns-textbook.csv");
  folder.write("elcentro.csv", record);
  const auto result = run_program(folder.path(), "elcentro.csv\n2\n0.02\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_EQ(result.out, transcript(" 1560  0.02", "  2.  2.00040012"));

  std::vector<std::vector<double>> samples;  // time and three accelerations
  for (const std::string& line : lines(record)) {
    double t, a, b, c;
    if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &t, &a, &b, &c) == 4) {
      samples.push_back({t, a, b, c});
    }
  }
  ASSERT_EQ(samples.size(), 1560u);
  const double dt = samples[1][0] - samples[0][0];

  const auto velocity = lines(folder.read("Ground-Vel.csv"));
  ASSERT_EQ(velocity.size(), 1561u);
  EXPECT_EQ(velocity[0], ground_velocity_header);
  EXPECT_EQ(velocity[1], zero_velocity_line);
  for (std::size_t i = 1; i < velocity.size(); ++i) {
    ASSERT_EQ(velocity[i].size(), 47u) << i;
    if (i >= 2) {
      ASSERT_EQ(velocity[i].substr(0, 8), reference::fixed(samples[i - 1][0], 8, 4));
    }
    // components 2 and 3 of this record are zero
    ASSERT_EQ(velocity[i].substr(21), ",      0.0000,      0.0000") << i;
  }

  for (const char* name : energy_files) {
    const auto energy = lines(folder.read(name));
    ASSERT_EQ(energy.size(), 1561u) << name;
    EXPECT_EQ(energy[0], energy_header);
    EXPECT_EQ(energy[1], zero_energy_line);
    for (std::size_t m = 1; m <= 1560; ++m) {
      ASSERT_EQ(energy[m].size(), 49u);
      ASSERT_EQ(energy[m].substr(0, 9), reference::fixed(static_cast<double>(m - 1) * dt, 9, 4));
    }
  }
  EXPECT_EQ(folder.read("Energy-Density-wave2.csv"), folder.read("Energy-Density-wave3.csv"));

  const auto wave = lines(folder.read("wave.csv"));
  ASSERT_EQ(wave.size(), 1561u);
  EXPECT_EQ(wave[0], wave_header);
  EXPECT_EQ(wave[0].size(), 77u);
  for (std::size_t i = 1; i < wave.size(); ++i) {
    const auto& s = samples[i - 1];
    ASSERT_EQ(wave[i].size(), 201u) << i;
    ASSERT_EQ(wave[i].substr(0, 10), reference::fixed(s[0], 9, 4) + ",");
    // input accelerations in columns 2, 6 and 10
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(wave[i].substr(10 + 64 * static_cast<std::size_t>(k), 15),
                reference::exponential(s[1 + k], 15, 7));
    }
  }
  // Sample 1: relative velocity -ddy(1)*dt, displacement zero.
  EXPECT_EQ(wave[1].substr(42, 31), reference::exponential(-(samples[0][1] * dt), 15, 7) + "," +
                                        reference::exponential(0.0, 15, 7));
}

struct record_row {
  const char* file;
  const char* count_and_interval;
  const char* second_velocity_time;  // the first line always shows 0.0000
  bool energies_overflow;            // some energy exceeds its F9.4 field
};

const record_row real_records[] = {
    {"mexico1985-sct.csv", " 8171  0.02", "  0.0400", false},  // first time 0.02
    {"sanfernando1971-pacoima.csv", " 4172  0.01", "  0.0100", true},
    {"northridge1994-sylmar-aftershock.csv", " 1000  0.02", "  0.0200", false},
};

TEST(Dialogue, RealRecords) {
  for (const record_row& row : real_records) {
    SCOPED_TRACE(row.file);
    temp_folder folder;
    folder.write("rec.csv", data_file(row.file));
    const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
    ASSERT_TRUE(result.exited_with(0)) << result.err;
    EXPECT_EQ(result.out, transcript(row.count_and_interval, "  1.  1.00125235"));
    const auto velocity = lines(folder.read("Ground-Vel.csv"));
    EXPECT_EQ(velocity[1], zero_velocity_line);
    EXPECT_EQ(velocity[2].substr(0, 8), row.second_velocity_time);
    bool overflow = false;
    for (const char* name : energy_files) {
      for (const std::string& line : lines(folder.read(name))) {
        if (line == energy_header) continue;
        ASSERT_EQ(line.size(), 49u) << line;
        overflow = overflow || line.find("*********") != std::string::npos;
      }
    }
    EXPECT_EQ(overflow, row.energies_overflow);
    for (const std::string& line : lines(folder.read("wave.csv"))) {
      ASSERT_EQ(line.size(), line == wave_header ? 77u : 201u);
    }
  }
}

TEST(Dialogue, GroundVelocityByHandWithAFirstTimeNotZero) {
  temp_folder folder;
  folder.write("rec.csv", "t,a,b,c\n0.5,1,2,3\n0.6,3,-2,0\n0.7,0,0,1\n");
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_EQ(result.out, transcript(" 3  0.1", "  1.  1.00125235"));
  EXPECT_EQ(folder.read("Ground-Vel.csv"),
            " time(s),vel1,vel2,vel3\n"
            "  0.0000,      0.0000,      0.0000,      0.0000\n"  // the time 0 always
            "  0.6000,      0.2000,      0.0000,      0.1500\n"
            "  0.7000,      0.3500,     -0.1000,      0.2000\n");
}

TEST(Dialogue, RecordWithHeaderOnly) {
  temp_folder folder;
  folder.write("rec.csv", "Time,NS,EW,UD\n\n");
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_EQ(result.out, transcript(" 0  0.", "  1.  1.00125235"));
  EXPECT_EQ(folder.read("Ground-Vel.csv"),
            ground_velocity_header + "\n" + zero_velocity_line + "\n");
  for (const char* name : energy_files) {
    EXPECT_EQ(folder.read(name), energy_header + "\n" + zero_energy_line + "\n");
  }
  EXPECT_EQ(folder.read("wave.csv"), wave_header + "\n");
}

TEST(Dialogue, IncompleteLastSampleIsNotCounted) {
  temp_folder folder;
  folder.write("short.csv", "t,a,b,c\n0,1,2,3\n0.01,4,5,6\n0.02,7\n");
  folder.write("comma.csv", "t,a,b,c\n0,1,2,3\n0.01,4,5,6\n0.02,7,8,9,");
  for (const char* name : {"short.csv", "comma.csv"}) {
    const auto result = run_program(folder.path(), std::string(name) + "\n1\n0.05\nw.csv\n");
    ASSERT_TRUE(result.exited_with(0)) << result.err;
    EXPECT_NE(result.out.find(" nn and DT= 2  0.01\n"), std::string::npos) << name;
    EXPECT_EQ(lines(folder.read("w.csv")).size(), 3u);
  }
}

TEST(Dialogue, CarriageReturnLineFeedRecordReadsTheSame) {
  std::string crlf;
  for (char c : record_text(300)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  temp_folder lf_folder, crlf_folder;
  lf_folder.write("rec.csv", record_text(300));
  crlf_folder.write("rec.csv", crlf);
  const std::string answers = "rec.csv\r\n0.7\r\n0.1\r\nwave.csv\r\n";
  const auto lf = run_program(lf_folder.path(), "rec.csv\n0.7\n0.1\nwave.csv\n");
  const auto with_cr = run_program(crlf_folder.path(), answers);
  ASSERT_TRUE(lf.exited_with(0) && with_cr.exited_with(0)) << with_cr.err;
  EXPECT_EQ(with_cr.out, lf.out);
  for (const char* name : {"Ground-Vel.csv", "Energy-Density-wave1.csv", "Energy-Density-wave2.csv",
                           "Energy-Density-wave3.csv", "wave.csv"}) {
    EXPECT_EQ(crlf_folder.read(name), lf_folder.read(name)) << name;
  }
}

TEST(Dialogue, CapacityIsAcceptedExactly) {
  temp_folder folder;
  folder.write("rec.csv", record_text(131100));
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_NE(result.out.find(" nn and DT= 131100  0.01\n"), std::string::npos);
  EXPECT_EQ(lines(folder.read("Ground-Vel.csv")).size(), 131101u);
  EXPECT_EQ(folder.read("wave.csv").size(), 78u + 131100u * 202u);
  EXPECT_EQ(lines(folder.read("Energy-Density-wave1.csv")).back().substr(0, 9), "1310.9900");
  // The last sample is stored like the others: its recorded time and its acceleration.
  const std::string last = lines(folder.read("wave.csv")).back();
  EXPECT_EQ(last.substr(0, 25), "1310.9900,  0.9998570E+02");  // 100 sin(0.05 * 131099)
  EXPECT_EQ(lines(folder.read("Ground-Vel.csv")).back().substr(0, 9), "********,");
}

TEST(Dialogue, RecordOverCapacityIsRefused) {
  temp_folder folder;
  folder.write("rec.csv", record_text(131101));
  const auto result = run_program(folder.path(), "rec.csv\n5\n");
  EXPECT_TRUE(result.exited_with(1));  // a failure a script can see
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out,
            "\n"
            " Enter File Name for Ground Motion Acceleraration:\n"
            " nn and DT= 131101  0.01\n"
            "  nn > mm !!!!!\n"
            " nn and mm= 131101 131100\n");
  EXPECT_FALSE(folder.exists("Ground-Vel.csv"));
}

TEST(Dialogue, ExistingOutputFilesHoldExactlyTheNewContent) {
  temp_folder folder;
  folder.write("rec.csv", "t,a,b,c\n0,0,0,0\n0.01,0,0,0\n");
  const std::string old_content(100000, 'x');
  for (const char* name : {"Ground-Vel.csv", "Energy-Density-wave1.csv", "wave.csv"}) {
    folder.write(name, old_content);
  }
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_EQ(folder.read("Ground-Vel.csv"),
            ground_velocity_header + "\n" + zero_velocity_line +
                "\n  0.0100,      0.0000,      0.0000,      0.0000\n");
  EXPECT_EQ(folder.read("Energy-Density-wave1.csv"),
            energy_header + "\n" + zero_energy_line + "\n" +
                "   0.0100,   0.0000,   0.0000,   0.0000,   0.0000\n");
  EXPECT_EQ(lines(folder.read("wave.csv")).size(), 3u);
}

TEST(Dialogue, ResponseWaveNamedLikeAFixedOutputReplacesIt) {
  temp_folder folder;
  folder.write("rec.csv", record_text(10));
  const auto result = run_program(folder.path(), "rec.csv\n1\n0.05\nEnergy-Density-wave1.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  const auto replaced = lines(folder.read("Energy-Density-wave1.csv"));
  ASSERT_EQ(replaced.size(), 11u);
  EXPECT_EQ(replaced[0], wave_header);
  EXPECT_EQ(replaced[1].size(), 201u);
}

// An output that names the record is refused before anything is written to it.
TEST(Dialogue, NoOutputMayReplaceTheRecord) {
  for (const char* typed : {"rec.csv", "./rec.csv"}) {
    SCOPED_TRACE(typed);
    temp_folder folder;
    const std::string record = record_text(50);
    folder.write("rec.csv", record);
    const auto result =
        run_program(folder.path(), std::string("rec.csv\n1\n0.05\n") + typed + "\n");
    EXPECT_TRUE(result.aborted());
    EXPECT_EQ(result.err, std::string("open: output would overwrite the ground-motion record\n"
                                      "apparent state: unit 12 named ") +
                              typed + "\nlately reading sequential formatted external IO\n");
    EXPECT_EQ(result.out, transcript(" 50  0.01", "  1.  1.00125235"));
    EXPECT_EQ(folder.read("rec.csv"), record);
    for (const char* name : energy_files) EXPECT_EQ(lines(folder.read(name)).size(), 51u);
  }
}

TEST(Dialogue, RecordNamedLikeTheGroundVelocityFileIsKept) {
  temp_folder folder;
  const std::string record = record_text(20);
  folder.write("Ground-Vel.csv", record);
  const auto result = run_program(folder.path(), "Ground-Vel.csv\n1\n0.05\nw.csv\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(result.err,
            "open: output would overwrite the ground-motion record\n"
            "apparent state: unit 11 named Ground-Vel.csv\n"
            "last format: list io\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(folder.read("Ground-Vel.csv"), record);
}

TEST(Dialogue, ImpossibleOscillatorPropagatesNotANumbers) {
  temp_folder folder;
  folder.write("rec.csv", record_text(5));
  const auto result = run_program(folder.path(), "rec.csv\n1\n1.5\nwave.csv\n");
  ASSERT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_NE(result.out.find(" T and damping T =  1.  NAN\n"), std::string::npos);
  const auto energy = lines(folder.read("Energy-Density-wave1.csv"));
  ASSERT_EQ(energy.size(), 6u);
  EXPECT_EQ(energy[1], zero_energy_line);
  EXPECT_EQ(energy[2], "   0.0100,      nan,      nan,      nan,      nan");

  const auto zero_period = run_program(folder.path(), "rec.csv\n0\n0.05\nwave.csv\n");
  ASSERT_TRUE(zero_period.exited_with(0)) << zero_period.err;
  EXPECT_NE(zero_period.out.find(" T and damping T =  0.  0.\n"), std::string::npos);
}

}  // namespace
