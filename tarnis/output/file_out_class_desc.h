// The class descriptor of FileOut ("Tarnis_FileOut", the vector-file output
// the host offers in its render-effects list).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/output/file_out.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<FileOut> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_FileOut";
  static constexpr int kClassNameId = kStrFileOutClassName;
  static constexpr SClass_ID kSuperClassID = RENDER_EFFECT_CLASS_ID;
  static constexpr Class_ID kClassID = kFileOutClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindFileOutBlocks(cd); }
};

// The descriptor, with both blocks bound to it on first use.
PluginClassDesc<FileOut>* GetFileOutDesc();

}  // namespace tarnis
