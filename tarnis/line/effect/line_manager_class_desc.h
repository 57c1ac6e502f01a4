// The class descriptor of LineManager ("Tarnis_Line", the line effect the
// host offers in its render-effects list).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/line/effect/line_manager.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineManager> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_Line";
  static constexpr int kClassNameId = kStrLineEffectClassName;
  static constexpr SClass_ID kSuperClassID = RENDER_EFFECT_CLASS_ID;
  static constexpr Class_ID kClassID = kLineManagerClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindLineManagerBlock(cd); }
};

// The descriptor, with its block "main" bound to it on first use.
PluginClassDesc<LineManager>* GetLineManagerDesc();

}  // namespace tarnis
