#include "tarnis/line/effect/line_manager_class_desc.h"

#include <new>

#include "tarnis/line/effect/line_manager.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

void* LineManagerClassDesc::Create(bool loading) {
  try {
    return static_cast<ReferenceTarget*>(new LineManager(loading));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const char* LineManagerClassDesc::ClassName() {
  // The text itself rather than the shared lookup buffer, which the next
  // lookup would overwrite.
  const char* text = FindString(500);
  return text ? text : "";
}

Class_ID LineManagerClassDesc::ClassID() {
  return kLineManagerClassID;
}

ModuleHandle LineManagerClassDesc::HInstance() {
  return GetModuleHandle();
}

LineManagerClassDesc* GetLineManagerDesc() {
  static LineManagerClassDesc* const desc = [] {
    static LineManagerClassDesc instance;
    BindLineManagerBlock(&instance);
    return &instance;
  }();
  return desc;
}

}  // namespace tarnis
