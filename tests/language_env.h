// Sets the language variables of this test process (which the tarnis
// program started by RunTarnis inherits) for one scope, then puts back what
// was there: LANG, LC_ALL, LC_MESSAGES and LANGUAGE are cleared first;
// other variables given (TARNIS_HOME=...) are set and put back the same way.
// RunWith runs tarnis under such a scope.
#pragma once

#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/tarnis_run.h"

class LanguageEnv {
 public:
  // `vars`: NAME=value entries.
  explicit LanguageEnv(const std::vector<std::string>& vars) {
    std::vector<std::string> names(std::begin(kNames), std::end(kNames));
    for (const std::string& v : vars) names.push_back(v.substr(0, v.find('=')));
    for (const std::string& name : names) {
      const char* old = std::getenv(name.c_str());
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::unsetenv(name.c_str());
    }
    for (const std::string& v : vars) {
      const size_t eq = v.find('=');
      ::setenv(v.substr(0, eq).c_str(), v.substr(eq + 1).c_str(), 1);
    }
  }
  ~LanguageEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      const auto& [name, value] = *it;
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  LanguageEnv(const LanguageEnv&) = delete;
  LanguageEnv& operator=(const LanguageEnv&) = delete;

 private:
  static constexpr const char* kNames[] = {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"};
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

inline RunResult RunWith(const std::vector<std::string>& args, const std::string& dir,
                         const std::vector<std::string>& vars) {
  LanguageEnv env(vars);
  return RunTarnis(args, dir);
}
