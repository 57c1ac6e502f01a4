// Tests of work run in a child process: its answer comes back whole, and a
// crash, an endless loop or a memory flood ends as a status with words,
// within the limits, while the caller goes on.
#include "host/isolated_task.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace host {
namespace {

using namespace std::chrono_literals;

TEST(IsolatedTask, AnswersComeBackWhole) {
  const std::string big(3 << 20, 'x');  // more than a pipe holds at once
  IsolatedResult r = RunIsolated([&] { return big + "end"; }, IsolationLimits{});
  ASSERT_EQ(r.status, IsolatedStatus::kDone) << r.problem;
  EXPECT_EQ(r.answer.size(), big.size() + 3);
  EXPECT_TRUE(r.answer.ends_with("end"));
  EXPECT_TRUE(r.problem.empty());
}

TEST(IsolatedTask, CrashesLoopsAndMemoryFloodsEndAsAStatus) {
  IsolationLimits limits;
  limits.time = 1500ms;
  limits.memoryBytes = uint64_t{256} << 20;
  struct Case {
    const char* what;
    std::function<std::string()> task;
    IsolatedStatus status;
    const char* says;
    // The flood is given time enough that only its memory can end it: filling
    // 256 MiB takes seconds under the sanitizers on a busy machine.
    std::chrono::milliseconds time = 1500ms;
  };
  const Case cases[] = {
      {"segfault",
       [] {
         ::raise(SIGSEGV);
         return std::string();
       },
       IsolatedStatus::kCrashed, "crashed"},
      {"abort",
       [] {
         std::abort();
         return std::string();
       },
       IsolatedStatus::kCrashed, "crashed"},
      {"endless loop",
       [] {
         volatile unsigned spin = 0;
         for (;;) spin = spin + 1;
         return std::string();
       },
       IsolatedStatus::kTimedOut, "took longer than 1.5 s"},
      {"memory flood",
       [] {
         std::vector<std::vector<char>> hoard;
         volatile char seen = 0;
         for (;;) {
           hoard.emplace_back(size_t{16} << 20, 'x');
           seen = seen + hoard.back()[hoard.size()];
         }
         return std::string();
       },
       IsolatedStatus::kOutOfMemory, "needed more than 256 MiB", 30000ms},
      {"exception", []() -> std::string { throw std::runtime_error("no"); },
       IsolatedStatus::kCrashed, "failed"},
  };
  for (const Case& c : cases) {
    limits.time = c.time;
    const auto start = std::chrono::steady_clock::now();
    IsolatedResult r = RunIsolated(c.task, limits);
    EXPECT_LT(std::chrono::steady_clock::now() - start, c.time + 2500ms) << c.what;
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.problem;
    EXPECT_NE(r.problem.find(c.says), std::string::npos) << c.what << ": " << r.problem;
    EXPECT_TRUE(r.answer.empty()) << c.what;
  }
}

}  // namespace
}  // namespace host
