// The class descriptor of LineMergeHelper ("Tarnis_LineMergeHelper", the
// helper object the host offers in its "Tarnis" creation category).
#pragma once

#include "tarnis/common/plugin_class_desc.h"
#include "tarnis/plugin/line_merge_helper.h"
#include "tarnis/resources/string_ids.h"

namespace tarnis {

template <>
struct PluginClassTraits<LineMergeHelper> {
  static constexpr bool kPublic = true;
  static constexpr const char* kInternalName = "Tarnis_LineMergeHelper";
  static constexpr int kClassNameId = kStrLineMergeHelperClassName;
  static constexpr SClass_ID kSuperClassID = HELPER_CLASS_ID;
  static constexpr Class_ID kClassID = kLineMergeHelperClassID;
  static constexpr const char* kCategory = "Tarnis";
};

PluginClassDesc<LineMergeHelper>* GetLineMergeHelperDesc();

}  // namespace tarnis
