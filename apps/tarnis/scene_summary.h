// Reads a scene description far enough to describe it: what the scene holds
// (nodes, materials, lights, effects, render settings). Errors name the file
// and what is wrong.
#pragma once

#include <string>
#include <variant>

struct SceneSummary {
  int width = 0, height = 0;
  int firstFrame = 0, lastFrame = 0;
  int nodes = 0, groups = 0, materials = 0, lights = 0, effects = 0, elements = 0;
  std::string camera;
};

// The summary, or an error message naming the file.
std::variant<SceneSummary, std::string> SummarizeScene(const std::string& path);
// Several lines for a terminal.
std::string DescribeScene(const std::string& path, const SceneSummary& s);
