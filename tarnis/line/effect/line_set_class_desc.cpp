#include "tarnis/line/effect/line_set_class_desc.h"

#include <new>

#include "tarnis/line/effect/line_set.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

void* LineSetClassDesc::Create(bool loading) {
  try {
    return static_cast<ReferenceTarget*>(new LineSet(loading));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const char* LineSetClassDesc::ClassName() {
  // The text itself rather than the shared lookup buffer, which the next
  // lookup would overwrite.
  const char* text = FindString(600);
  return text ? text : "";
}

Class_ID LineSetClassDesc::ClassID() {
  return kLineSetClassID;
}

ModuleHandle LineSetClassDesc::HInstance() {
  return GetModuleHandle();
}

LineSetClassDesc* GetLineSetDesc() {
  static LineSetClassDesc* const desc = [] {
    static LineSetClassDesc instance;
    BindLineSetBlocks(&instance);
    return &instance;
  }();
  return desc;
}

}  // namespace tarnis
