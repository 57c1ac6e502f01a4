// One-line English meanings of every class, parameter block and parameter
// the program knows, for `tarnis info --params` and docs/reference.md.
#pragma once

#include <string>

namespace tarnis_cli {

// What objects of the class are for; empty when unknown.
std::string ClassMeaning(const std::string& className);
// What a block holds; empty when the block needs no words of its own.
std::string BlockMeaning(const std::string& className, const std::string& block);
// What a parameter does, with its unit; empty when unknown. The line set's
// per-type parameters (lineColor1, edgeObject2 ...) share one meaning per
// base name.
std::string ParamMeaning(const std::string& className, const std::string& block,
                         const std::string& param);

}  // namespace tarnis_cli
