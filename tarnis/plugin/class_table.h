// The plug-in's classes in the order the host asks for them. Each class
// that exists adds its descriptor getter to the table in class_table.cpp.
#pragma once

#include <vector>

#include "sdk/class_desc.h"

namespace tarnis {

// The descriptors of the classes this build has, in table order.
const std::vector<ClassDesc2*>& ClassTable();

}  // namespace tarnis
