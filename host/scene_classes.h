// Class descriptors of the host's own scene objects (nodes, meshes,
// cameras, lights, lists), so that saved scenes can make them again.
#pragma once

#include "sdk/class_desc.h"

namespace host {

void RegisterSceneClasses(ClassDirectory& dir);

}  // namespace host
