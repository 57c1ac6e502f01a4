// The class descriptor of Stroke ("Tarnis_Stroke", a texture map the toon
// material places in its zones' stroke slots; not offered in the host's
// public lists).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {

template <>
struct PluginClassTraits<Stroke> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_Stroke";
  static constexpr int kClassNameId = kStrStrokeClassName;
  static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
  static constexpr Class_ID kClassID = kStrokeClassID;
  static constexpr const char* kCategory = "Maps";  // with the host's 2D maps
  static void BindBlocks(ClassDesc2* cd) { BindStrokeBlocks(cd); }
};

// The descriptor, with the stroke map's five blocks bound to it on first use.
PluginClassDesc<Stroke>* GetStrokeDesc();

}  // namespace tarnis
