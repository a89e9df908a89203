// The whole program run in memory, under the fake operating system: every byte of every file
// against the program as it was, and the failure paths that only a failing system reaches.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "support/fake_disk.h"
#include "support/program.h"

namespace {

using testing_support::fake_disk;
using testing_support::process_end;
using testing_support::record_text;
using testing_support::run_in_memory;

const char* const output_files[] = {"Ground-Vel.csv", "Energy-Density-wave1.csv",
                                    "Energy-Density-wave2.csv", "Energy-Density-wave3.csv",
                                    "wave.csv"};

std::string file_text(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

std::uint64_t fnv1a(const std::string& text) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : text) h = (h ^ c) * 0x100000001b3u;
  return h;
}

// A complete run on the record with the answers; the fake holds its files afterwards.
process_end run(fake_disk& os, const std::string& record, const std::string& answers) {
  os.files["rec.csv"] = record;
  os.input = answers;
  return run_in_memory(os);
}

bool is_whole_line_prefix(const std::string& part, const std::string& whole) {
  return whole.compare(0, part.size(), part) == 0 && (part.empty() || part.back() == '\n');
}

// Three components that differ, strong motion: all five files and the console, whole.
TEST(InMemory, GoldenThreeComponentRun) {
  const std::string golden = std::string(TEST_DATA_DIR) + "/golden/";
  fake_disk os;
  const process_end end =
      run(os, file_text(golden + "record.csv"), "rec.csv\n0.2\n0.05\nwave.csv\n");
  EXPECT_EQ(end.status, 0);
  EXPECT_FALSE(end.aborted);
  EXPECT_EQ(os.output, file_text(golden + "console.txt"));
  for (const char* name : output_files) EXPECT_EQ(os.files[name], file_text(golden + name)) << name;
}

// Fingerprints of every byte the program wrote for each bundled record before its core was
// split from its I/O: the console and the five files.
TEST(InMemory, BundledRecordsByteForByte) {
  const struct {
    const char* record;
    const char* period;
    const char* damping;
    std::uint64_t hashes[6];
  } runs[] = {
      {"elcentro1940-array9.csv",
       "0.3",
       "0.02",
       {0x79a5ecbe106ffb20, 0x9d55624679cd519a, 0x8f8ee0a44e94340a, 0x04bd1b05251a23fc,
        0xe68a19ce45db8d8b, 0xea82bb878e600504}},
      {"elcentro1940-array9.csv",
       "1",
       "0.05",
       {0xc2710265127c5761, 0x9d55624679cd519a, 0x278ae7aa1d13d979, 0x231cf5330833fd9d,
        0x53fa4c463aa8c692, 0x8e3264c9dd88de16}},
      {"elcentro1940-ns-textbook.csv",
       "0.3",
       "0.02",
       {0xd04593f8b784f997, 0x06925aff02424fd8, 0xca701da7370b4200, 0xe80f819d45f52b7e,
        0xe80f819d45f52b7e, 0x335d70019ff2e4e1}},
      {"elcentro1940-ns-textbook.csv",
       "1",
       "0.05",
       {0x1a6469d684cd5cc2, 0x06925aff02424fd8, 0xf32877f5855ae35b, 0xe80f819d45f52b7e,
        0xe80f819d45f52b7e, 0x2782f5f370865115}},
      {"lomaprieta1989-corralitos.csv",
       "0.3",
       "0.02",
       {0x689b6b5091cda64c, 0xc6fcf6a70a4aa404, 0x71fd5b3d2880a5a2, 0x7ce8ed488b4c6490,
        0x30c2a34f31926b80, 0x555723844f0381be}},
      {"lomaprieta1989-corralitos.csv",
       "1",
       "0.05",
       {0x11fcc5ef7d404dc5, 0xc6fcf6a70a4aa404, 0xe115ce582afdce45, 0x0d40d36fda900690,
        0xb11b9b9ff2599076, 0x0d401d0612b5e976}},
      {"mexico1985-sct.csv",
       "0.3",
       "0.02",
       {0xee9bd2dc674a8adc, 0xb2b7accbdc0ca53a, 0x32682d4202f971b1, 0xdc5e8f1876513112,
        0xb7b349dd02a4712f, 0xfade015a515ab08a}},
      {"mexico1985-sct.csv",
       "1",
       "0.05",
       {0x83b5888f73b20995, 0xb2b7accbdc0ca53a, 0x96d2569ad03bcd8d, 0xfa36c4d927739cc9,
        0x8f732d2424d04e07, 0x672790284afb9be2}},
      {"northridge1994-sylmar-aftershock.csv",
       "0.3",
       "0.02",
       {0x5dcc8e42554acd5a, 0x9e143e9798a92e0b, 0x37384e964ebd0279, 0x9ea26ce2e4616eac,
        0xf3a79f3bb230b907, 0x21f5ce703afaa4a9}},
      {"northridge1994-sylmar-aftershock.csv",
       "1",
       "0.05",
       {0x89c24ec35ce1e1fb, 0x9e143e9798a92e0b, 0x73ceb69fd07cf576, 0x91e93df80c5d30f5,
        0xca602192f5142595, 0xd94adb877896d50b}},
      {"sanfernando1971-pacoima.csv",
       "0.3",
       "0.02",
       {0x1d3b0ac1b4596d80, 0x799022f93a17f1ee, 0xb71727eeb8acfa99, 0xc08cdd34b1fea62f,
        0x7e3219bde7237ff6, 0xb4709fa740d3b4bc}},
      {"sanfernando1971-pacoima.csv",
       "1",
       "0.05",
       {0x8af46079d4e20941, 0x799022f93a17f1ee, 0x274df71ae3a2765f, 0xb6a4706a509e801a,
        0xa840ac01b11efc0e, 0x5d9180e64e3c385d}},
  };
  for (const auto& r : runs) {
    SCOPED_TRACE(std::string(r.record) + " " + r.period + " " + r.damping);
    const std::string folder = std::string(r.record) == "elcentro1940-array9.csv"
                                   ? std::string(EXAMPLES_DIR)
                                   : std::string(TEST_DATA_DIR);
    fake_disk os;
    const process_end end =
        run(os, file_text(folder + "/" + r.record),
            std::string("rec.csv\n") + r.period + "\n" + r.damping + "\nwave.csv\n");
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(fnv1a(os.output), r.hashes[0]);
    for (int k = 0; k < 5; ++k)
      EXPECT_EQ(fnv1a(os.files[output_files[k]]), r.hashes[k + 1]) << output_files[k];
  }
}

// At dt = 1/32 the times (m - 1) * dt are exact and every other one lies halfway between two
// four-decimal values: each rounds as printf rounds it.
TEST(InMemory, EnergyTimesOnFourDecimalTies) {
  fake_disk os;
  std::string record = "t,a,b,c\n";
  for (int i = 0; i < 40; ++i) record += std::to_string(i / 32.0) + ",1,2,3\n";
  ASSERT_EQ(run(os, record, "rec.csv\n1\n0.05\nw.csv\n").status, 0);
  std::istringstream lines(os.files["Energy-Density-wave1.csv"]);
  std::string line;
  std::getline(lines, line);  // header
  for (int m = 1; std::getline(lines, line); ++m) {
    char expected[16];
    std::snprintf(expected, sizeof expected, "%9.4f", (m - 1) / 32.0);
    ASSERT_EQ(line.substr(0, 9), expected) << m;
  }
}

struct failure_row {
  const char* name;
  const char* input;
  const char* report;
};

TEST(InMemory, ConsoleNumberWithoutALineEnd) {
  fake_disk os;
  const process_end end = run(os, "t,a,b,c\n0,1,2,3\n", "rec.csv\n1");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(os.error,
            "read start: end of file\napparent state: unit 5 (unnamed)\nlast format: list io\n"
            "lately reading sequential formatted external IO\n");
}

TEST(InMemory, FailedCloseIsReported) {
  fake_disk os;
  os.fail_close("Ground-Vel.csv");
  const process_end end = run(os, record_text(20), "rec.csv\n1\n0.05\nw.csv\n");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(os.error,
            "close: Input/output error\napparent state: unit 11 named Ground-Vel.csv\n"
            "lately writing sequential formatted external IO\n");
  EXPECT_EQ(os.files.count("Energy-Density-wave1.csv"), 0u);
}

// The wave file's buffer first goes to the file during the formatted write of line
// (262144 - 78) / 202 + 1 = 1298; the signal arriving then ends the run right after that line,
// and the end flushes the files still open.
TEST(InMemory, SignalDuringAFormattedWriteEndsTheRunAfterIt) {
  const std::string record = record_text(2000);
  fake_disk complete;
  ASSERT_EQ(run(complete, record, "rec.csv\n1\n0.05\nwave.csv\n").status, 0);
  const std::size_t lines = (262144 - 78) / 202 + 1;
  for (const auto& [signal_number, message, aborted] :
       {std::tuple{SIGTERM, "Killed\n", false}, std::tuple{SIGABRT, "IOT Trap\n", true}}) {
    fake_disk os;
    os.signal_on_write("wave.csv", signal_number);
    const process_end end = run(os, record, "rec.csv\n1\n0.05\nwave.csv\n");
    EXPECT_EQ(end.aborted, aborted);
    EXPECT_EQ(end.status, aborted ? 0 : 1);
    EXPECT_EQ(os.error, message);
    EXPECT_EQ(os.files["wave.csv"], complete.files["wave.csv"].substr(0, 78 + lines * 202));
  }
}

TEST(InMemory, RecordEndingInAnErrorIsLeftUnchanged) {
  fake_disk os;
  const std::string record = record_text(3000) + "60.00,1,x,3\n";  // over 64 KiB
  ASSERT_GT(record.size(), 65536u);
  const process_end end = run(os, record, "rec.csv\n1\n0.05\nw.csv\n");
  EXPECT_TRUE(end.aborted);
  EXPECT_EQ(os.files["rec.csv"], record);
  for (const std::string& entry : os.log)
    EXPECT_EQ(entry.find("truncate rec.csv"), std::string::npos);
}

// Killed after its first write, a run leaves no line of an earlier run in the file.
TEST(InMemory, KilledRunLeavesNothingOfAnEarlierRun) {
  const std::string record = record_text(10000);
  fake_disk complete;
  ASSERT_EQ(run(complete, record, "rec.csv\n1\n0.05\nw.csv\n").status, 0);
  fake_disk os;
  os.files["Ground-Vel.csv"] = std::string(1 << 20, '#');
  os.kill_after_writes("Ground-Vel.csv", 1);
  EXPECT_TRUE(run(os, record, "rec.csv\n1\n0.05\nw.csv\n").killed);
  const std::string& left = os.files["Ground-Vel.csv"];
  EXPECT_GT(left.size(), 200000u);
  EXPECT_TRUE(is_whole_line_prefix(left, complete.files["Ground-Vel.csv"]));
}

TEST(InMemory, FullDiskLeavesWholeLines) {
  const std::string record = record_text(10000);
  fake_disk complete;
  ASSERT_EQ(run(complete, record, "rec.csv\n1\n0.05\nw.csv\n").status, 0);
  fake_disk os;
  os.fail_writes_after("Energy-Density-wave2.csv", 5000);
  EXPECT_TRUE(run(os, record, "rec.csv\n1\n0.05\nw.csv\n").aborted);
  EXPECT_EQ(os.error,
            "write: No space left on device\napparent state: unit 15 named "
            "Energy-Density-wave2.csv\nlast format: (F9.4,4(',',F9.4))\n"
            "lately writing sequential formatted external IO\n");
  const std::string& left = os.files["Energy-Density-wave2.csv"];
  EXPECT_EQ(left.size(), 59u + (5000 - 59) / 50 * 50);
  EXPECT_TRUE(is_whole_line_prefix(left, complete.files["Energy-Density-wave2.csv"]));
}

TEST(InMemory, RecordThatIsAPipeIsReadOnly) {
  fake_disk os;
  os.pipes.insert("rec.csv");
  EXPECT_EQ(run(os, record_text(30), "rec.csv\n1\n0.05\nw.csv\n").status, 0);
  EXPECT_EQ(os.log.front(), "open rec.csv read-only");
  EXPECT_NE(os.output.find(" nn and DT= 30  0.01\n"), std::string::npos);
}

}  // namespace
