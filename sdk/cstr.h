// CStr: the SDK's 8-bit text (UTF-8 here). Converts to const char* for the
// C-style interfaces that the plug-in code calls, and to std::string_view.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <utility>

class CStr {
 public:
  CStr() = default;
  CStr(const char* s) : s_(s ? s : "") {}
  CStr(std::string s) : s_(std::move(s)) {}
  CStr(std::string_view s) : s_(s) {}

  const char* data() const { return s_.c_str(); }
  operator const char*() const { return s_.c_str(); }
  operator std::string_view() const { return s_; }
  const std::string& str() const { return s_; }

  int Length() const { return static_cast<int>(s_.size()); }
  bool isNull() const { return s_.empty(); }
  // Keeps the first n bytes (or pads with spaces up to n).
  void Resize(int n) { s_.resize(n > 0 ? static_cast<size_t>(n) : 0, ' '); }
  // Formats like printf and replaces the contents; answers the new length.
  // The arguments may point into this string. A format error leaves it empty.
  int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int vprintf(const char* format, va_list args);

  CStr operator+(const CStr& b) const { return CStr(s_ + b.s_); }
  CStr& operator+=(const CStr& b) {
    s_ += b.s_;
    return *this;
  }
  bool operator==(const CStr& b) const { return s_ == b.s_; }
  bool operator==(const char* b) const { return s_ == (b ? b : ""); }
  auto operator<=>(const CStr& b) const { return s_ <=> b.s_; }

 private:
  std::string s_;
};
