// The class descriptor of LineSetting ("Tarnis_LineSetting", a texture map
// the host does not offer in its lists).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/line/effect/line_setting.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineSetting> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_LineSetting";
  static constexpr int kClassNameId = kStrLineSettingClassName;
  static constexpr SClass_ID kSuperClassID = TEXMAP_CLASS_ID;
  static constexpr Class_ID kClassID = kLineSettingClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindLineSettingBlock(cd); }
};

// The descriptor, with the block "main" bound to it on first use.
PluginClassDesc<LineSetting>* GetLineSettingDesc();

}  // namespace tarnis
