// The failure path of TARNIS_CHECK: print the message and abort.
#include "sdk/check.h"

#include <cstdio>
#include <cstdlib>

namespace tarnis::detail {

CheckFailure::CheckFailure(const char* cond, const char* file, int line) {
  stream_ << file << ":" << line << ": check failed: " << cond;
}

CheckFailure::~CheckFailure() {
  std::string text = stream_.str();
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace tarnis::detail
