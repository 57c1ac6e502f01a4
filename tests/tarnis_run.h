// Runs the tarnis program the way a user does, for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  int status = -1;     // exit code, or 128 + signal when killed
  std::string output;  // stdout and stderr together
};

// Runs `program` (the built tarnis unless given) with `args` in `dir`. When
// `interruptAfter` is given, sends SIGINT as soon as the output contains it.
RunResult RunTarnis(const std::vector<std::string>& args, const std::string& dir,
                    const std::string& interruptAfter = "",
                    const std::string& program = TARNIS_EXE);
