// The class descriptor of Brush ("Tarnis_LineBrush", a texture map the host
// does not offer in its public lists).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/line/brush/brush.h"

namespace tarnis {

template <>
struct PluginClassTraits<Brush> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_LineBrush";
  static constexpr int kClassNameId = kStrBrushClassName;
  static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
  static constexpr Class_ID kClassID = kBrushClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindBrushBlocks(cd); }
};

// The descriptor, with the brush's six blocks bound to it on first use.
PluginClassDesc<Brush>* GetBrushDesc();

}  // namespace tarnis
