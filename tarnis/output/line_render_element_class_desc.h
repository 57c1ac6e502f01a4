// The class descriptor of LineFxRenderElement ("Tarnis_Line_Render_Element",
// offered in the host's list of render elements).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/output/line_render_element.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineFxRenderElement> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_Line_Render_Element";
  static constexpr int kClassNameId = kStrLineElementClassName;
  static constexpr SClass_ID kSuperClassID = RENDER_ELEMENT_CLASS_ID;
  static constexpr Class_ID kClassID = kLineFxRenderElementClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindLineFxRenderElementBlock(cd); }
};

// The descriptor, with its block bound to it on first use.
PluginClassDesc<LineFxRenderElement>* GetLineFxRenderElementDesc();

}  // namespace tarnis
