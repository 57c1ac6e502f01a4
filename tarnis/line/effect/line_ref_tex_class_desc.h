// The class descriptor of LineRefTex ("Tarnis_LineRefTex", a texture map
// offered in the host's environment-map category).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/line/effect/line_ref_tex.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineRefTex> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_LineRefTex";
  static constexpr int kClassNameId = kStrLineRefTexClassName;
  static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
  static constexpr Class_ID kClassID = kLineRefTexClassID;
  static constexpr const char* kCategory = "Maps";  // with the host's reflect/refract map
  static void BindBlocks(ClassDesc2* cd) { BindLineRefTexBlocks(cd); }
};

// The descriptor, with both blocks bound to it on first use.
PluginClassDesc<LineRefTex>* GetLineRefTexDesc();

}  // namespace tarnis
