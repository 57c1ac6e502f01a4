// `tarnis info --params CLASS`: every parameter block of a class with each
// parameter's name, type, default, range, whether it can be animated and
// what it means, as Markdown (docs/reference.md is made from it).
#pragma once

#include <string>
#include <vector>

class ClassDesc2;

namespace tarnis_cli {

// Exit codes: 0 listed, 1 no class of that internal name.
int RunListParams(const std::string& className, const std::vector<std::string>& plugins);

// The Markdown description of one class's blocks and parameters.
std::string DescribeParams(ClassDesc2& cd);

}  // namespace tarnis_cli
