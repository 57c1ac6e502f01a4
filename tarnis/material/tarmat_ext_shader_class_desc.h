// The class descriptor of the toon material's private shader
// ("TarmatExtShader", a shader the host does not offer in its public lists).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/material/tarmat_ext_shader.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<TarmatExtShader> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "TarmatExtShader";
  static constexpr int kClassNameId = kStrExtShaderClassName;
  static constexpr SClass_ID kSuperClassID = SHADER_CLASS_ID;
  static constexpr Class_ID kClassID = kTarmatExtShaderClassID;
  static constexpr const char* kCategory = "";
  static void BindBlocks(ClassDesc2* cd) { BindExtShaderBlock(cd); }
};

// The descriptor, with the block "shaderParameters" bound to it on first use.
PluginClassDesc<TarmatExtShader>* GetTarmatExtShaderDesc();

}  // namespace tarnis
