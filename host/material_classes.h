// The host's material classes in the class directory: the standard material
// and its Blinn shader, the coordinate generator, the bitmap, checker and
// noise maps and the reflect/refract map.
#pragma once

#include "sdk/class_desc.h"

namespace host {

// Adds every material, shader, map and coordinate class of the host to `dir`
// (classes present already are left as they are).
void RegisterMaterialClasses(ClassDirectory& dir);

}  // namespace host
