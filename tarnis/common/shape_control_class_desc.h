// The class descriptor of the shape control ("QvPolygonCtrl", a reference
// target the host does not offer in its public lists; its class name is the
// fixed name, not a string-table text).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/common/shape_control.h"

namespace tarnis {

template <>
struct PluginClassTraits<QvPolygonCtrl> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "QvPolygonCtrl";
  static constexpr const char* kClassName = "QvPolygonCtrl";
  static constexpr SClass_ID kSuperClassID = REF_TARGET_CLASS_ID;
  static constexpr Class_ID kClassID = kQvPolygonCtrlClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindShapeBlock(cd); }
};

// The descriptor, with the block "main" bound to it on first use.
PluginClassDesc<QvPolygonCtrl>* GetQvPolygonCtrlDesc();

}  // namespace tarnis
