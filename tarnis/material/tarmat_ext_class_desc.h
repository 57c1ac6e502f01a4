// The class descriptors of the advanced-settings material
// ("Tarnis_MaterialExt") and its holder ("Tarnis_MaterialExtHolder"), two
// materials the host does not offer in its public lists.
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/material/tarmat_ext.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<TarmatExt> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_MaterialExt";
  static constexpr int kClassNameId = kStrMaterialExtClassName;
  static constexpr SClass_ID kSuperClassID = MATERIAL_CLASS_ID;
  static constexpr Class_ID kClassID = kTarmatExtClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindTarmatExtBlock(cd); }
};

template <>
struct PluginClassTraits<TarmatExtHolder> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_MaterialExtHolder";
  static constexpr int kClassNameId = kStrMaterialExtHolderClassName;
  static constexpr SClass_ID kSuperClassID = MATERIAL_CLASS_ID;
  static constexpr Class_ID kClassID = kTarmatExtHolderClassID;
  static constexpr const char* kCategory = "";
};

// The descriptors; the advanced-settings material's block is bound to its
// descriptor on first use.
PluginClassDesc<TarmatExt>* GetTarmatExtDesc();
PluginClassDesc<TarmatExtHolder>* GetTarmatExtHolderDesc();

}  // namespace tarnis
