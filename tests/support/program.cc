#include "support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

temp_folder::temp_folder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "sdofresp-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

temp_folder::~temp_folder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void temp_folder::write(const std::string& name, const std::string& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

std::string temp_folder::read(const std::string& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

bool program_result::aborted() const {
  return signal == SIGABRT;
}

running_program::running_program(const std::filesystem::path& folder, start_options options) {
  // A program that stops reading must not take the tests with it.
  std::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(in[0], 0);
    ::dup2(options.output_file ? ::open(options.output_file, O_WRONLY) : out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (options.standard_output_closed) ::close(1);
    if (options.standard_error_closed) ::close(2);
    // A clean start whatever the test runner inherited; no core files from aborts.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGABRT, SIGFPE, SIGPIPE}) std::signal(s, SIG_DFL);
    if (options.interrupt_ignored) std::signal(SIGINT, SIG_IGN);
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    ::execl(SDOFRESP_EXECUTABLE, "sdofresp", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  out_ = out[0];
  err_ = err[0];
}

running_program::~running_program() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, err_}) {
    if (fd >= 0) ::close(fd);
  }
}

void running_program::type(const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(in_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the program has stopped reading
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

void running_program::close_input() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

bool running_program::pump(std::chrono::milliseconds wait) {
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  int open = 0;
  for (pollfd& p : fds) {
    if (p.fd >= 0)
      ++open;
    else
      p.fd = -1;
  }
  if (open == 0) return false;
  if (::poll(fds, 2, static_cast<int>(wait.count())) <= 0) return true;
  char buffer[65536];
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    int& fd = i == 0 ? out_ : err_;
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      (i == 0 ? result_.out : result_.err).append(buffer, static_cast<std::size_t>(n));
    } else {
      ::close(fd);
      fd = -1;
    }
  }
  return true;
}

bool running_program::wait_for_output(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (result_.out.find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline || !pump(std::chrono::milliseconds(50))) {
      return result_.out.find(text) != std::string::npos;
    }
  }
  return true;
}

void running_program::send(int signal_number) const {
  ::kill(pid_, signal_number);
}

void running_program::pause() const {
  ::kill(pid_, SIGSTOP);
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(pid_), &info, WSTOPPED | WEXITED | WNOWAIT);
}

bool running_program::still_running_after(std::chrono::milliseconds time) {
  const auto deadline = std::chrono::steady_clock::now() + time;
  while (std::chrono::steady_clock::now() < deadline) {
    pump(std::chrono::milliseconds(20));
    siginfo_t info{};
    // Looks without reaping, so that finish still collects the status.
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid != 0) {
      return false;
    }
  }
  return true;
}

program_result running_program::finish(std::chrono::milliseconds limit) {
  close_input();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pump(std::chrono::milliseconds(100))) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      break;
    }
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) result_.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result_.signal = WTERMSIG(status);
  return result_;
}

program_result run_program(const std::filesystem::path& folder, const std::string& input) {
  running_program program(folder);
  program.type(input);
  return program.finish();
}

std::string record_text(int samples, double dt, double first_time) {
  std::string text = "Time(s),NS(gal),EW(gal),UD(gal)\n";
  text.reserve(static_cast<std::size_t>(samples) * 40 + 40);
  char line[128];
  for (int i = 0; i < samples; ++i) {
    // A smooth three-component motion with four decimals, as real records have.
    const int n =
        snprintf(line, sizeof line, "%.4f,%.4f,%.4f,%.4f\n", first_time + i * dt,
                 100 * std::sin(0.05 * i), -50 * std::cos(0.031 * i), 20 * std::sin(0.11 * i + 1));
    text.append(line, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace testing_support
