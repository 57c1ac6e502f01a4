// Contract checks for broken invariants inside the code. A failed check prints
// the condition, the place and an optional streamed message, then aborts, so
// it stops loudly in tests. Bad user input never goes through these: it gets a
// status or an error message instead.
#pragma once

#include <sstream>
#include <string>

namespace tarnis::detail {

class CheckFailure {
 public:
  CheckFailure(const char* cond, const char* file, int line);
  [[noreturn]] ~CheckFailure();
  template <class T>
  CheckFailure& operator<<(const T& v) {
    stream_ << v;
    return *this;
  }

 private:
  std::ostringstream stream_;
};

// Lets `TARNIS_CHECK(c) << msg` compile to a void expression in both branches.
struct CheckVoidify {
  void operator&(const CheckFailure&) {}
};

}  // namespace tarnis::detail

#define TARNIS_CHECK(cond)                    \
  (cond) ? (void)0                            \
         : ::tarnis::detail::CheckVoidify() & \
               ::tarnis::detail::CheckFailure(#cond, __FILE__, __LINE__)
