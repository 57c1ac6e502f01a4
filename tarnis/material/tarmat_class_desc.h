// The class descriptors of the toon material ("Tarnis_Material", offered in
// the host's material lists) and of the stroke holder it owns per zone.
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/material/stroke_holder.h"
#include "tarnis/material/tarmat.h"
#include "tarnis/material/tarmat_params.h"

namespace tarnis {

template <>
struct PluginClassTraits<Tarmat> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_Material";
  static constexpr int kClassNameId = kStrToonMaterialClassName;
  static constexpr SClass_ID kSuperClassID = MATERIAL_CLASS_ID;
  static constexpr Class_ID kClassID = kTarmatClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindTarmatBlocks(cd); }
};

template <>
struct PluginClassTraits<StrokeHolder> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_StrokeHolder";
  static constexpr int kClassNameId = kStrStrokeHolderClassName;
  static constexpr SClass_ID kSuperClassID = MATERIAL_CLASS_ID;
  static constexpr Class_ID kClassID = kStrokeHolderClassID;
  static constexpr const char* kCategory = "";
};

PluginClassDesc<Tarmat>* GetTarmatDesc();
PluginClassDesc<StrokeHolder>* GetStrokeHolderDesc();

}  // namespace tarnis
