// The real operating system: the only file of the suite that calls it for files and the
// process.
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "edge/disk.h"

#if __has_include(<poll.h>)
#include <poll.h>
#endif
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include "edge/signals.h"

namespace edge {
namespace {

file_status status_of(const struct stat& s) {
  file_status result;
  result.exists = true;
  result.regular = S_ISREG(s.st_mode);
  result.pipe = S_ISFIFO(s.st_mode) || S_ISSOCK(s.st_mode);
  result.folder = S_ISDIR(s.st_mode);
  result.device = static_cast<std::uint64_t>(s.st_dev);
  result.inode = static_cast<std::uint64_t>(s.st_ino);
  result.permissions = static_cast<unsigned>(s.st_mode & 07777);
  result.owner = static_cast<std::uint64_t>(s.st_uid);
  result.group = static_cast<std::uint64_t>(s.st_gid);
  result.size = result.regular ? static_cast<std::uint64_t>(s.st_size) : 0;
  return result;
}

// The temporaries not yet renamed or removed, for a signal handler to remove: fixed slots,
// each claimed and released atomically, so that the handler never meets a half-written name.
constexpr int temporary_slots = 64;
struct temporary_slot {
  std::atomic<bool> used{false};
  char name[PATH_MAX];
};
temporary_slot temporaries[temporary_slots];

void remember_temporary(const std::string& name) {
  if (name.size() >= PATH_MAX) return;
  for (temporary_slot& slot : temporaries) {
    bool expected = false;
    if (slot.used.load() || name.empty()) continue;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    if (slot.used.compare_exchange_strong(expected, true)) return;
  }
}

void forget_temporary(const std::string& name) {
  for (temporary_slot& slot : temporaries) {
    if (slot.used.load() && name == slot.name) {
      slot.used.store(false);
      return;
    }
  }
}

void remove_temporaries_and_end(int number) {
  for (temporary_slot& slot : temporaries) {
    if (slot.used.load()) ::unlink(slot.name);
  }
  std::signal(number, SIG_DFL);
  ::raise(number);
}

sigset_t signal_set(std::initializer_list<int> numbers) {
  sigset_t set;
  sigemptyset(&set);
  for (int number : numbers) sigaddset(&set, number);
  return set;
}

const sigset_t& handled_signals() {
  static const sigset_t set = signal_set({SIGFPE, SIGABRT, SIGINT, SIGTERM});
  return set;
}

void note(int number, siginfo_t* info, void*) {
  // A floating-point fault raised by an instruction cannot be returned to. The arithmetic runs
  // with exceptions masked, so this only guards against the impossible.
  if (number == SIGFPE && info != nullptr && info->si_code > 0) {
    static const char message[] = "Floating Exception\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, message, sizeof message - 1);
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  }
  note_signal(number);
}

class real_disk_interface final : public disk {
 public:
  int open(const std::string& name, open_mode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case open_mode::update:
        flags |= O_RDWR;
        break;
      case open_mode::read_only:
        flags |= O_RDONLY;
        break;
      case open_mode::write_only:
        flags |= O_WRONLY;
        break;
      case open_mode::create_update:
        flags |= O_RDWR | O_CREAT;
        break;
      case open_mode::create_write_only:
        flags |= O_WRONLY | O_CREAT;
        break;
    }
    for (;;) {
      const int fd = ::open(name.c_str(), flags, 0666);
      if (fd >= 0) {
        if (static_cast<std::size_t>(fd) >= regular_.size()) regular_.resize(fd + 1u);
        regular_[static_cast<std::size_t>(fd)] = status(fd).regular;
        return fd;
      }
      if (errno != EINTR) return -errno;
    }
  }

  file_status status(const std::string& name) override {
    struct stat s;
    return ::stat(name.c_str(), &s) == 0 ? status_of(s) : file_status{};
  }

  file_status status(int handle) override {
    struct stat s;
    return ::fstat(handle, &s) == 0 ? status_of(s) : file_status{};
  }

  long read(int handle, char* buffer, std::size_t n) override {
    for (;;) {
      const ssize_t count = ::read(handle, buffer, n);
      if (count >= 0) return count;
      if (errno == EAGAIN) {
        wait_for_input(handle);  // a console left non-blocking waits like any other
      } else if (errno != EINTR) {
        return -errno;
      }
      if (pending_signal() != 0) return -EINTR;
    }
  }

  write_result write(int handle, const char* data, std::size_t n) override {
    // A signal that ends the process in the middle of a write to a file can cut it at any
    // page. Signals wait until the write is done; they cannot hold up a file for long.
    const bool file = handle >= 0 && static_cast<std::size_t>(handle) < regular_.size() &&
                      regular_[static_cast<std::size_t>(handle)];
    sigset_t previous;
    if (file) {
      sigset_t all;
      sigfillset(&all);
      sigprocmask(SIG_BLOCK, &all, &previous);
    }
    write_result result;
    while (result.written < n) {
      const ssize_t count = ::write(handle, data + result.written, n - result.written);
      if (count < 0) {
        if (errno == EINTR) continue;  // a noted signal is acted on at the next record
        result.error = errno;
        break;
      }
      result.written += static_cast<std::size_t>(count);
    }
    if (file) sigprocmask(SIG_SETMASK, &previous, nullptr);
    return result;
  }

  int truncate(int handle, std::uint64_t size) override {
    return ::ftruncate(handle, static_cast<off_t>(size)) == 0 ? 0 : errno;
  }

  int close(int handle) override {
    if (handle >= 0 && static_cast<std::size_t>(handle) < regular_.size()) {
      regular_[static_cast<std::size_t>(handle)] = false;
    }
    return ::close(handle) == 0 ? 0 : errno;
  }

  void wait_for_input(int handle) override {
#if __has_include(<poll.h>) && defined(POLLIN) && defined(__linux__)
    // The signals stay blocked until ppoll unblocks them while it waits: one that arrives
    // between the check and the wait still ends the wait.
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &handled_signals(), &previous);
    if (pending_signal() == 0) {
      pollfd poll_fd{handle, POLLIN, 0};
      ppoll(&poll_fd, 1, nullptr, &previous);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
#else
    (void)handle;  // a plain blocking read waits instead; a signal interrupts it
#endif
  }

  std::string error_text(int number) override {
    return std::strerror(number);
  }

  [[noreturn]] void exit(int status) override {
    std::exit(status);
  }

  [[noreturn]] void abort() override {
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
  }

  temporary create_temporary(const std::string& folder) override {
    std::string name = (folder.empty() ? std::string() : folder + "/") + ".sdof-XXXXXX";
    // Signals wait while the file is made and remembered: none can end the process between
    // the two and leave it behind.
    static std::mutex creating;
    std::lock_guard lock(creating);
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    const int error = errno;
    if (fd >= 0) remember_temporary(name);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) return {-error, {}};
    return {fd, name};
  }

  int rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) return errno;
    forget_temporary(from);
    return 0;
  }

  int remove(const std::string& name) override {
    const int result = ::unlink(name.c_str()) == 0 ? 0 : errno;
    forget_temporary(name);
    return result;
  }

  int make_folder(const std::string& name) override {
    return ::mkdir(name.c_str(), 0777) == 0 ? 0 : errno;
  }

  std::string resolve(const std::string& name) override {
    char resolved[PATH_MAX];
    return ::realpath(name.c_str(), resolved) ? std::string(resolved) : name;
  }

  int set_owner_and_permissions(int handle, unsigned permissions, std::uint64_t owner,
                                std::uint64_t group) override {
    struct stat s;
    if (::fstat(handle, &s) != 0) return errno;
    if ((static_cast<std::uint64_t>(s.st_uid) != owner ||
         static_cast<std::uint64_t>(s.st_gid) != group) &&
        ::fchown(handle, static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
      return errno;
    }
    return ::fchmod(handle, static_cast<mode_t>(permissions)) == 0 ? 0 : errno;
  }

  unsigned new_file_permissions() override {
    static const unsigned permissions = [] {
      const mode_t mask = ::umask(0);
      ::umask(mask);
      return 0666u & ~static_cast<unsigned>(mask);
    }();
    return permissions;
  }

  bool writable(const std::string& name) override {
    return ::access(name.c_str(), W_OK) == 0;
  }

  bool terminal(int handle) override {
    return ::isatty(handle) == 1;
  }

 private:
  std::vector<bool> regular_;  // by handle: the files this system opened that are regular
};

}  // namespace

disk& real_disk() {
  static real_disk_interface system;
  return system;
}

void prepare_console_process() {
  // Lowest free descriptor first: each /dev/null lands on the one it stands in for.
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
      }
    }
  }

  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = note;
  action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting read returns on a signal
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
  sigaction(SIGABRT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  struct sigaction interrupt;
  if (sigaction(SIGINT, nullptr, &interrupt) == 0 && interrupt.sa_handler != SIG_IGN) {
    sigaction(SIGINT, &action, nullptr);
  }
}

void remove_temporaries_on_signals() {
  (void)real_disk().new_file_permissions();  // the umask read now, not in a thread
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = remove_temporaries_and_end;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    struct sigaction before;
    // A signal ignored when the program started (nohup, a background job) stays ignored.
    if (sigaction(number, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(number, &action, nullptr);
  }
}

void advise_huge_pages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t size) {
#if defined(MADV_HUGEPAGE)
  ::madvise(start, size, MADV_HUGEPAGE);
#endif
}

}  // namespace edge
