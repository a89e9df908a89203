// Run-time errors and signals, end to end: the exact report on standard error, how the process
// ends, and that every file written so far is complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <sstream>
#include <string>
#include <thread>

#include "support/program.h"

namespace {

using namespace std::chrono_literals;
using testing_support::record_text;
using testing_support::run_program;
using testing_support::running_program;
using testing_support::start_options;
using testing_support::temp_folder;

std::size_t line_count(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += c == '\n' ? 1 : 0;
  return n;
}

const std::string first_prompt = "\n Enter File Name for Ground Motion Acceleraration:\n";
const std::string lately_reading = "lately reading sequential formatted external IO\n";
const std::string lately_writing = "lately writing sequential formatted external IO\n";

struct error_row {
  const char* name;
  const char* record;  // written as data.csv; null for none
  const char* input;
  std::string report;
};

// Failures of the record and of the console, each with its complete report.
const error_row error_rows[] = {
    {"missing record file", nullptr, "data.csv\n1\n",
     "list in: end of file\napparent state: unit 11 named data.csv\nlast format: list io\n" +
         lately_reading},
    {"empty record name", nullptr, "\n",
     "open: null file name\napparent state: unit 11 named \n" + lately_reading},
    {"letter in a sample", "t,a,b,c\n0,1,2,3\n0.01,1,x,3\n", "data.csv\n",
     "invalid number: incomprehensible list input\napparent state: unit 11 named data.csv\n"
     "last format: list io\n" +
         lately_reading},
    {"bad exponent in a sample", "t,a,b,c\n0,1,2,3E\n", "data.csv\n",
     "exponent field: incomprehensible list input\napparent state: unit 11 named data.csv\n"
     "last format: list io\n" +
         lately_reading},
    {"bad repeat count in a sample", "t,a,b,c\n0,0*1\n", "data.csv\n",
     "bad repetition count: incomprehensible list input\napparent state: unit 11 named data.csv\n"
     "last format: list io\n" +
         lately_reading},
    {"header cut short", "t,a\n", "data.csv\n",
     "list in: end of file\napparent state: unit 11 named data.csv\nlast format: list io\n" +
         lately_reading},
    {"no console input at all", nullptr, "",
     "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (A40)\n" + lately_reading},
    {"record name without a line end", nullptr, "data.csv",
     "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (A40)\n" + lately_reading},
    {"end of input at the period", "t,a,b,c\n0,1,2,3\n", "data.csv\n",
     "list in: end of file\napparent state: unit 5 (unnamed)\nlast format: list io\n" +
         lately_reading},
    {"end of input at the damping", "t,a,b,c\n0,1,2,3\n", "data.csv\n1\n",
     "list in: end of file\napparent state: unit 5 (unnamed)\nlast format: list io\n" +
         lately_reading},
    {"letter for the period", "t,a,b,c\n0,1,2,3\n", "data.csv\nx\n",
     "invalid number: incomprehensible list input\napparent state: unit 5 (unnamed)\n"
     "last format: list io\n" +
         lately_reading},
    {"end of input at the wave file name", "t,a,b,c\n0,1,2,3\n", "data.csv\n1\n0.05\n",
     "fmt: end of file\napparent state: unit 5 (unnamed)\nlast format: (A40)\n" + lately_reading},
    // the damping answer ended the input: the next read starts at its end
    {"input ending inside the damping line", "t,a,b,c\n0,1,2,3\n", "data.csv\n1\n0.05",
     "read start: end of file\napparent state: unit 5 (unnamed)\nlast format: (A40)\n" +
         lately_reading},
    {"empty wave file name", "t,a,b,c\n0,1,2,3\n", "data.csv\n1\n0.05\n\n",
     "open: null file name\napparent state: unit 12 named \n" + lately_reading},
    {"wave file in a missing folder", "t,a,b,c\n0,1,2,3\n", "data.csv\n1\n0.05\nnodir/w.csv\n",
     "open: No such file or directory\napparent state: unit 12 named nodir/w.csv\n" +
         lately_reading},
    // small enough to fail at the disconnection, after the last formatted write
    {"wave file on a full disk", "t,a,b,c\n0,1,2,3\n0.01,1,2,3\n", "data.csv\n1\n0.05\n/dev/full\n",
     "write: No space left on device\napparent state: unit 12 named /dev/full\n" + lately_writing},
};

TEST(RuntimeErrors, ReportsAndAbnormalEnd) {
  for (const error_row& row : error_rows) {
    SCOPED_TRACE(row.name);
    temp_folder folder;
    if (row.record) folder.write("data.csv", row.record);
    const auto result = run_program(folder.path(), row.input);
    EXPECT_TRUE(result.aborted()) << "exit " << result.exit_status << " signal " << result.signal;
    EXPECT_EQ(result.err, row.report);
    // The transcript up to the failure reached the pipe.
    EXPECT_EQ(result.out.substr(0, first_prompt.size()), first_prompt);
  }
}

TEST(RuntimeErrors, MissingRecordFileIsLeftCreatedEmpty) {
  temp_folder folder;
  const auto result = run_program(folder.path(), "data.csv\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_TRUE(folder.exists("data.csv"));
  EXPECT_EQ(folder.read("data.csv"), "");
  EXPECT_EQ(result.out, first_prompt);
}

TEST(RuntimeErrors, EndOfInputAtTheWaveFileNameKeepsEveryFileComplete) {
  temp_folder folder;
  folder.write("data.csv", record_text(700));
  const auto result = run_program(folder.path(), "data.csv\n1\n0.05\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(line_count(folder.read("Ground-Vel.csv")), 701u);
  for (const char* name :
       {"Energy-Density-wave1.csv", "Energy-Density-wave2.csv", "Energy-Density-wave3.csv"}) {
    EXPECT_EQ(folder.read(name).size(), 59u + 700u * 50u) << name;
  }
  EXPECT_NE(result.out.find(" Enter Output File Name for Response Wave (*.csv)\n"),
            std::string::npos);
}

TEST(RuntimeErrors, FullDiskDuringAFormattedWrite) {
  temp_folder folder;
  folder.write("data.csv", record_text(2000));  // 400 KB of wave lines fill the buffer
  const auto result = run_program(folder.path(), "data.csv\n1\n0.05\n/dev/full\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(result.err,
            "write: No space left on device\napparent state: unit 12 named /dev/full\n"
            "last format: (F9.4,12(',',E15.7))\n" +
                lately_writing);
}

// A console that cannot take the prompts is a failure too, not a silent success.
TEST(RuntimeErrors, StandardOutputOnAFullDisk) {
  temp_folder folder;
  running_program program(folder.path(), {.output_file = "/dev/full"});
  program.type("data.csv\n");
  const auto result = program.finish();
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(result.err,
            "write: No space left on device\napparent state: unit 6 (unnamed)\n" + lately_writing);
  EXPECT_FALSE(folder.exists("data.csv"));  // nothing was read or connected
}

TEST(RuntimeErrors, EndOfInputAfterTheCapacityMessages) {
  temp_folder folder;
  folder.write("data.csv", record_text(131101));
  const auto result = run_program(folder.path(), "data.csv\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(result.err,
            "list in: end of file\napparent state: unit 5 (unnamed)\n"
            "last format: list io\n" +
                lately_reading);
  EXPECT_NE(result.out.find(" nn and mm= 131101 131100\n"), std::string::npos);
}

TEST(RuntimeErrors, OutputFileThatOpensOnlyForReading) {
  // A kernel attribute file: readable, never writable, even for the superuser.
  const char* name = "/sys/devices/system/cpu/online";
  const int probe = ::open(name, O_RDWR);
  if (probe >= 0 || ::access(name, R_OK) != 0) {
    if (probe >= 0) ::close(probe);
    GTEST_SKIP() << "no read-only file to write to on this machine";
  }
  temp_folder folder;
  folder.write("data.csv", "t,a,b,c\n0,1,2,3\n");
  const auto result = run_program(folder.path(), std::string("data.csv\n1\n0.05\n") + name + "\n");
  EXPECT_TRUE(result.aborted());
  EXPECT_EQ(result.err, std::string("list output start: can't write file\napparent state: unit 12 "
                                    "named ") +
                            name + "\nlast format: list io\n" + lately_writing);
}

// A signal while the program waits at a prompt: its message, its end, and complete files.
TEST(Signals, InterruptAtThePeriodPrompt) {
  temp_folder folder;
  folder.write("data.csv", record_text(3000));
  running_program program(folder.path());
  program.type("data.csv\n");
  ASSERT_TRUE(program.wait_for_output("Enter Period"));
  program.send(SIGINT);
  const auto result = program.finish();
  EXPECT_TRUE(result.exited_with(1));
  EXPECT_EQ(result.err, "Interrupt\n");
  EXPECT_EQ(folder.read("Ground-Vel.csv").size(), 24u + 3000u * 48u);
}

TEST(Signals, TerminationAtTheWaveFilePrompt) {
  temp_folder folder;
  folder.write("data.csv", record_text(3000));
  running_program program(folder.path());
  program.type("data.csv\n1\n0.05\n");
  ASSERT_TRUE(program.wait_for_output("Response Wave"));
  program.send(SIGTERM);
  const auto result = program.finish();
  EXPECT_TRUE(result.exited_with(1));
  EXPECT_EQ(result.err, "Killed\n");
  EXPECT_EQ(folder.read("Energy-Density-wave3.csv").size(), 59u + 3000u * 50u);
}

TEST(Signals, IgnoredInterruptStaysIgnored) {
  temp_folder folder;
  running_program program(folder.path(), {.interrupt_ignored = true});
  ASSERT_TRUE(program.wait_for_output("Enter File Name"));
  program.send(SIGINT);
  EXPECT_TRUE(program.still_running_after(300ms));
  program.send(SIGTERM);
  const auto result = program.finish();
  EXPECT_TRUE(result.exited_with(1));
  EXPECT_EQ(result.err, "Killed\n");
}

TEST(Signals, AbortAndFloatingPointSignalsEndAbnormally) {
  for (const auto& [signal_number, message] :
       {std::pair{SIGABRT, "IOT Trap\n"}, std::pair{SIGFPE, "Floating Exception\n"}}) {
    temp_folder folder;
    running_program program(folder.path());
    ASSERT_TRUE(program.wait_for_output("Enter File Name"));
    program.send(signal_number);
    const auto result = program.finish();
    EXPECT_TRUE(result.aborted());
    EXPECT_EQ(result.err, message);
    EXPECT_EQ(result.out, first_prompt);
  }
}

// Wherever the termination lands in a long run, every file ends on a whole record.
TEST(Signals, TerminationDuringOutputNeverCutsARecord) {
  temp_folder folder;
  folder.write("data.csv", record_text(131100));
  running_program program(folder.path());
  program.type("data.csv\n1\n0.05\nwave.csv\n");
  ASSERT_TRUE(program.wait_for_output("T and damping"));
  program.send(SIGTERM);
  const auto result = program.finish();
  EXPECT_TRUE(result.exited_with(1) || result.exited_with(0));
  const struct {
    const char* name;
    std::size_t header, line;
  } files[] = {{"Ground-Vel.csv", 24, 48},
               {"Energy-Density-wave1.csv", 59, 50},
               {"Energy-Density-wave2.csv", 59, 50},
               {"Energy-Density-wave3.csv", 59, 50},
               {"wave.csv", 78, 202}};
  for (const auto& f : files) {
    if (!folder.exists(f.name)) continue;
    const std::string content = folder.read(f.name);
    if (content.empty()) continue;
    ASSERT_GE(content.size(), f.header) << f.name;
    EXPECT_EQ((content.size() - f.header) % f.line, 0u) << f.name << " " << content.size();
    EXPECT_EQ(content.back(), '\n') << f.name;
  }
}

}  // namespace

namespace {

// A closed standard stream is never the descriptor of a file: the report of an error and the
// prompts go nowhere instead of into the record.
TEST(StandardStreams, ClosedStreamsNeverReceiveAFile) {
  const std::string record = "t,a,b,c\n0,1,2,3\n0.01,x,2,3\n";
  for (const start_options options :
       {start_options{.standard_error_closed = true},
        start_options{.standard_output_closed = true, .standard_error_closed = true}}) {
    temp_folder folder;
    folder.write("data.csv", record);
    running_program program(folder.path(), options);
    program.type("data.csv\n");
    EXPECT_TRUE(program.finish().aborted());
    EXPECT_EQ(folder.read("data.csv"), record);
  }
}

// Read-write, a pipe would count the program among its writers and never end.
TEST(Records, RecordFromAPipeEndsWhenItsWriterCloses) {
  temp_folder folder;
  const std::string fifo = (folder / "rec.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  running_program program(folder.path());
  program.type("rec.fifo\n1\n0.05\nw.csv\n");
  std::thread writer([&] {
    const std::string record = record_text(500);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    int fd = -1;
    while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
      fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // fails until the program reads it
      if (fd < 0) std::this_thread::sleep_for(5ms);
    }
    if (fd < 0) return;
    ::fcntl(fd, F_SETFL, 0);
    for (std::size_t at = 0; at < record.size();) {
      const ssize_t n = ::write(fd, record.data() + at, record.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  const auto result = program.finish(20s);
  writer.join();
  EXPECT_TRUE(result.exited_with(0)) << result.err;
  EXPECT_EQ(line_count(folder.read("w.csv")), 501u);
}

// Ended from outside at any moment, a run leaves in each file either the earlier run's file
// untouched (not reached yet) or a whole-line prefix of its own, never a mix. A hangup has
// no handler and ends the process at once, but never inside a write to a file. SIGKILL comes
// after SIGSTOP, which stops the process between system calls: what the program handed the
// system is then exactly what the files hold.
TEST(Signals, EndedAtAnyMomentFilesHoldWholeLinesOfOneRun) {
  const std::string record = record_text(40000);
  const std::string answers = "data.csv\n1\n0.05\nwave.csv\n";
  const char* const outputs[] = {"Ground-Vel.csv", "Energy-Density-wave1.csv",
                                 "Energy-Density-wave2.csv", "Energy-Density-wave3.csv",
                                 "wave.csv"};
  temp_folder complete;
  complete.write("data.csv", record);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(run_program(complete.path(), answers).exited_with(0));
  const auto duration = std::chrono::steady_clock::now() - start;
  int prefixes = 0;
  for (int percent : {10, 25, 40, 55, 70, 85}) {
    for (int signal_number : {SIGHUP, SIGKILL}) {
      SCOPED_TRACE(std::to_string(percent) + "% of a run, signal " + std::to_string(signal_number));
      temp_folder folder;
      folder.write("data.csv", record);
      std::string earlier;
      for (int i = 0; i < 300000; ++i) earlier += "#,earlier run\n";
      for (const char* name : outputs) folder.write(name, earlier);
      running_program program(folder.path());
      program.type(answers);
      std::this_thread::sleep_for(duration * percent / 100);
      if (signal_number == SIGKILL) program.pause();
      program.send(signal_number);
      program.finish();
      for (const char* name : outputs) {
        const std::string content = folder.read(name);
        if (content == earlier) continue;
        const std::string whole = complete.read(name);
        ASSERT_EQ(content.find('#'), std::string::npos) << name;
        ASSERT_TRUE(content.empty() || content.back() == '\n') << name;
        ASSERT_EQ(whole.compare(0, content.size(), content), 0) << name;
        ++prefixes;
      }
    }
  }
  EXPECT_GT(prefixes, 0);
}

}  // namespace
