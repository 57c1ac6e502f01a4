#include "tarnis/line/brush/brush_class_desc.h"

#include <new>

#include "tarnis/line/brush/brush.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

void* BrushClassDesc::Create(bool loading) {
  try {
    return static_cast<ReferenceTarget*>(new Brush(loading));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const char* BrushClassDesc::ClassName() {
  // The text itself rather than the shared lookup buffer: callers keep the
  // pointer, and the next lookup would overwrite the buffer.
  const char* text = FindString(900);
  return text ? text : "";
}

SClass_ID BrushClassDesc::SuperClassID() {
  return TEXMAP_CLASS_ID;
}

Class_ID BrushClassDesc::ClassID() {
  return kBrushClassID;
}

ModuleHandle BrushClassDesc::HInstance() {
  return GetModuleHandle();
}

BrushClassDesc* GetBrushDesc() {
  static BrushClassDesc* const desc = [] {
    static BrushClassDesc instance;
    BindBrushBlocks(&instance);
    return &instance;
  }();
  return desc;
}

}  // namespace tarnis
