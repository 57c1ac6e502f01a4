// The class descriptor of LineSet ("Tarnis_LineSet", a render effect the
// host does not offer: only the line effect makes one).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/line/effect/line_set.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineSet> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_LineSet";
  static constexpr int kClassNameId = kStrLineSetClassName;
  static constexpr SClass_ID kSuperClassID = RENDER_EFFECT_CLASS_ID;
  static constexpr Class_ID kClassID = kLineSetClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindLineSetBlocks(cd); }
};

// The descriptor, with its seven blocks bound to it on first use.
PluginClassDesc<LineSet>* GetLineSetDesc();

}  // namespace tarnis
