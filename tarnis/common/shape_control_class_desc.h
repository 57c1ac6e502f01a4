// QvPolygonCtrlClassDesc: the class descriptor of the shape control
// ("QvPolygonCtrl", a reference target the host does not offer in its
// public lists).
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

class QvPolygonCtrlClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  // A new shape control (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override;
  // The fixed name "QvPolygonCtrl", not a string-table text.
  const char* ClassName() override { return "QvPolygonCtrl"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override;
  const char* Category() override { return ""; }
  const char* InternalName() override { return "QvPolygonCtrl"; }
  ModuleHandle HInstance() override;
};

// The descriptor, with the block "main" bound to it on first use.
QvPolygonCtrlClassDesc* GetQvPolygonCtrlDesc();

}  // namespace tarnis
