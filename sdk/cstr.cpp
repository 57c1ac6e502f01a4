// CStr's printf-style formatting.
#include "sdk/cstr.h"

#include <cstdio>
#include <utility>

int CStr::printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vprintf(format, args);
  va_end(args);
  return n;
}

int CStr::vprintf(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n < 0) {
    s_.clear();
    return 0;
  }
  // Format into a fresh buffer: the arguments may point into s_ itself.
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, args);
  s_ = std::move(out);
  return n;
}
