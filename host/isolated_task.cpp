#include "host/isolated_task.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

// Present when the sanitizers are linked in (they call it on a fatal report).
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace host {
namespace {

using Clock = std::chrono::steady_clock;

// Exit codes of the child when the task gave no answer.
constexpr int kExitOutOfMemory = 3;
constexpr int kExitException = 4;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Resident and virtual size of a process in bytes (0 when unknown).
struct MemoryUse {
  uint64_t virtualBytes = 0, residentBytes = 0;
};

MemoryUse MemoryOf(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/statm", static_cast<int>(pid));
  MemoryUse use;
  if (FILE* f = std::fopen(path, "r")) {
    unsigned long long size = 0, resident = 0;
    if (std::fscanf(f, "%llu %llu", &size, &resident) == 2) {
      const auto page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
      use = {size * page, resident * page};
    }
    std::fclose(f);
  }
  return use;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= static_cast<size_t>(n);
  }
  return true;
}

// The child dies of its faults plainly: handlers the parent installed (the
// fuzzing engine's, the sanitizers') would report them as the parent's own.
void DieQuietly() {
  for (int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGILL, SIGFPE, SIGINT, SIGTERM})
    ::signal(sig, SIG_DFL);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) ::dup2(null, STDERR_FILENO), ::close(null);
}

// The child's side: limits, the task, the answer (its length first). Never returns.
[[noreturn]] void RunChild(const std::function<std::string()>& task, const IsolationLimits& limits,
                           int fd) {
  // A parent that dies takes its child along.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  DieQuietly();
  // Address-space limits break the sanitizers' shadow memory; there the
  // parent's watch of the resident size is the limit.
  if (!kSanitized) {
    const uint64_t base = MemoryOf(::getpid()).virtualBytes;
    const rlimit as{base + limits.memoryBytes, base + limits.memoryBytes};
    ::setrlimit(RLIMIT_AS, &as);
  }
  const auto seconds = static_cast<rlim_t>(limits.time.count() / 1000 + 2);
  const rlimit cpu{seconds, seconds + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  int code = 0;
  try {
    const std::string answer = task();
    const uint64_t size = answer.size();
    code = WriteAll(fd, &size, sizeof size) && WriteAll(fd, answer.data(), answer.size()) ? 0 : 1;
  } catch (const std::bad_alloc&) {
    code = kExitOutOfMemory;
  } catch (...) {
    code = kExitException;
  }
  // _exit: no atexit handlers, static destructors or leak checks of the
  // parent's state run in the copy.
  ::_exit(code);
}

std::string SignalText(int sig) {
  const char* name = ::sigdescr_np(sig);
  return "crashed (" + std::string(name ? name : "signal " + std::to_string(sig)) + ")";
}

// Reads the child's answer until it closes the pipe, the time runs out or
// it grows past the memory limit; the status says which (kDone for the end
// of the answer).
IsolatedStatus ReadAnswer(int fd, pid_t pid, const IsolationLimits& limits,
                          Clock::time_point deadline, std::string& bytes) {
  const uint64_t baseResident = MemoryOf(::getpid()).residentBytes;
  char chunk[1 << 16];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return IsolatedStatus::kTimedOut;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 20)));
    if (ready < 0 && errno != EINTR) return IsolatedStatus::kCrashed;
    if (ready > 0) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno != EINTR && errno != EAGAIN) return IsolatedStatus::kCrashed;
      if (n == 0) return IsolatedStatus::kDone;
      if (n > 0) bytes.append(chunk, static_cast<size_t>(n));
      if (bytes.size() > limits.answerBytes + sizeof(uint64_t)) return IsolatedStatus::kOutOfMemory;
    }
    const uint64_t resident = MemoryOf(pid).residentBytes;
    if (resident > baseResident && resident - baseResident > limits.memoryBytes)
      return IsolatedStatus::kOutOfMemory;
  }
}

// Waits for the child to end, at most until the deadline; then kills it.
int Reap(pid_t pid, Clock::time_point deadline, bool kill) {
  int status = 0;
  if (!kill) {
    while (Clock::now() < deadline) {
      const pid_t r = ::waitpid(pid, &status, WNOHANG);
      if (r == pid) return status;
      if (r < 0 && errno != EINTR) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  ::kill(pid, SIGKILL);
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

}  // namespace

IsolatedResult RunIsolated(const std::function<std::string()>& task,
                           const IsolationLimits& limits) {
  IsolatedResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.problem = "cannot start a reader process (" + std::string(std::strerror(errno)) + ")";
    return result;
  }
  const Clock::time_point deadline = Clock::now() + limits.time;
  std::fflush(nullptr);  // buffered output must not be written twice
  const pid_t pid = ::fork();
  if (pid < 0) {
    result.problem = "cannot start a reader process (" + std::string(std::strerror(errno)) + ")";
    ::close(fds[0]), ::close(fds[1]);
    return result;
  }
  if (pid == 0) {
    ::close(fds[0]);
    RunChild(task, limits, fds[1]);
  }
  ::close(fds[1]);
  std::string bytes;
  IsolatedStatus status = ReadAnswer(fds[0], pid, limits, deadline, bytes);
  ::close(fds[0]);
  const int exit = Reap(pid, deadline, status != IsolatedStatus::kDone);
  uint64_t size = 0;
  if (bytes.size() >= sizeof size) std::memcpy(&size, bytes.data(), sizeof size);
  const bool answered = status == IsolatedStatus::kDone && WIFEXITED(exit) &&
                        WEXITSTATUS(exit) == 0 && bytes.size() == sizeof size + size;
  if (answered) {
    result.status = IsolatedStatus::kDone;
    result.answer = bytes.substr(sizeof size);
    return result;
  }
  if (status == IsolatedStatus::kDone) {
    // The pipe closed without a whole answer: how the child ended tells why.
    status = IsolatedStatus::kCrashed;
    if (WIFEXITED(exit) && WEXITSTATUS(exit) == kExitOutOfMemory)
      status = IsolatedStatus::kOutOfMemory;
    if (WIFSIGNALED(exit) && WTERMSIG(exit) == SIGXCPU) status = IsolatedStatus::kTimedOut;
  }
  result.status = status;
  const auto ms = static_cast<long long>(limits.time.count());
  switch (status) {
    case IsolatedStatus::kTimedOut:
      result.problem = "took longer than " + std::to_string(ms / 1000) + "." +
                       std::to_string(ms % 1000 / 100) + " s";
      break;
    case IsolatedStatus::kOutOfMemory:
      result.problem =
          "needed more than " + std::to_string(limits.memoryBytes >> 20) + " MiB of memory";
      break;
    default:
      result.problem = WIFSIGNALED(exit) ? SignalText(WTERMSIG(exit))
                       : WIFEXITED(exit) && WEXITSTATUS(exit) == kExitException
                           ? "failed (an unexpected error)"
                           : "ended without an answer";
      break;
  }
  return result;
}

}  // namespace host
