// The host's classes in the process-wide class directory.
#include "host/host_classes.h"

#include "host/material_classes.h"
#include "host/scene_classes.h"
#include "sdk/class_desc.h"

namespace host {

void RegisterHostClasses() {
  static const bool registered = [] {
    RegisterMaterialClasses(GetClassDirectory());
    RegisterSceneClasses(GetClassDirectory());
    return true;
  }();
  (void)registered;
}

}  // namespace host
