// Running work that may crash, hang or eat memory (a third-party file reader
// fed hostile bytes) in a child process, so that whatever the work does, the
// program goes on and reports it. The child is a fork of this process: the
// task runs there with a memory limit, the parent waits with a time limit and
// takes the bytes the task answers through a pipe.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace host {

struct IsolationLimits {
  std::chrono::milliseconds time{5000};      // wall clock, from the fork to the answer
  uint64_t memoryBytes = uint64_t{1} << 30;  // growth of the child over the parent
  uint64_t answerBytes = uint64_t{1} << 30;  // the longest answer taken
};

enum class IsolatedStatus {
  kDone,         // the task answered; `answer` holds its bytes
  kTimedOut,     // it was still working when the time ran out, and was killed
  kOutOfMemory,  // it passed the memory limit
  kCrashed,      // it died (a signal, or an exit without an answer)
  kNotStarted,   // no child process could be made
};

struct IsolatedResult {
  IsolatedStatus status = IsolatedStatus::kNotStarted;
  std::string answer;
  // Why the task gave no answer, in words for a message ("crashed (signal
  // 11)"); empty when it answered.
  std::string problem;
};

// Runs `task` in a child process under `limits` and answers what it
// returned. The task must not rely on other threads of this process (they
// do not exist in the child) and its side effects other than the answer are
// lost. Safe to call from any thread; each call makes its own child.
IsolatedResult RunIsolated(const std::function<std::string()>& task, const IsolationLimits& limits);

}  // namespace host
