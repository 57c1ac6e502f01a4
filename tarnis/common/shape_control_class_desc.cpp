#include "tarnis/common/shape_control_class_desc.h"

#include <new>

#include "tarnis/common/shape_control.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

void* QvPolygonCtrlClassDesc::Create(bool loading) {
  try {
    return static_cast<ReferenceTarget*>(new QvPolygonCtrl(loading));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

Class_ID QvPolygonCtrlClassDesc::ClassID() {
  return kQvPolygonCtrlClassID;
}

ModuleHandle QvPolygonCtrlClassDesc::HInstance() {
  return GetModuleHandle();
}

QvPolygonCtrlClassDesc* GetQvPolygonCtrlDesc() {
  static QvPolygonCtrlClassDesc* const desc = [] {
    static QvPolygonCtrlClassDesc instance;
    BindShapeBlock(&instance);
    return &instance;
  }();
  return desc;
}

}  // namespace tarnis
