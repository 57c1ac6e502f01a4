#include "sdk/cstr.h"

#include <cstdio>

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
  s_.assign(static_cast<size_t>(n), '\0');
  std::vsnprintf(s_.data(), s_.size() + 1, format, args);
  return n;
}
