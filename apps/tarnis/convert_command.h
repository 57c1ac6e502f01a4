// `tarnis convert IN OUT`: turns a scene description (*.json) or a saved
// scene (*.tscene) into a saved scene.
#pragma once

#include <string>
#include <vector>

namespace tarnis_cli {

// Exit codes: 0 written, 1 the input could not be read or the output written.
int RunConvert(const std::string& in, const std::string& out,
               const std::vector<std::string>& plugins);

// `tarnis info --classes`: every class the program knows, with its ids.
int RunListClasses(const std::vector<std::string>& plugins);

}  // namespace tarnis_cli
