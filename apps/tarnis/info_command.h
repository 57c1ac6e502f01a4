// `tarnis info`: describes a scene: image settings, camera, nodes with their
// meshes, materials, lights, render effects and render elements.
#pragma once

#include <string>
#include <vector>

#include "host/scene.h"

namespace tarnis_cli {

// Exit codes: 0 described, 1 the scene could not be read.
int RunInfo(const std::string& scenePath, const std::vector<std::string>& plugins);

// The description, several lines for a terminal.
std::string DescribeScene(host::Scene& scene, const std::string& path);

}  // namespace tarnis_cli
