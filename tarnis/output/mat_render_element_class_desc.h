// The class descriptor of MatRenderElement ("Tarnis_Mat_Render_Element", a
// render element the host does not offer in its public list).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/output/mat_render_element.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<MatRenderElement> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_Mat_Render_Element";
  static constexpr int kClassNameId = kStrMaterialElementClassName;
  static constexpr SClass_ID kSuperClassID = RENDER_ELEMENT_CLASS_ID;
  static constexpr Class_ID kClassID = kMatRenderElementClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindMatRenderElementBlock(cd); }
};

// The descriptor, with its block bound to it on first use.
PluginClassDesc<MatRenderElement>* GetMatRenderElementDesc();

}  // namespace tarnis
