// BrushClassDesc: the class descriptor of Brush ("Tarnis_LineBrush", a
// texture map the host does not offer in its public lists).
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

class BrushClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  // A new brush (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override;
  // String 900; stays valid for the whole run.
  const char* ClassName() override;
  SClass_ID SuperClassID() override;
  Class_ID ClassID() override;
  const char* Category() override { return ""; }
  const char* InternalName() override { return "Tarnis_LineBrush"; }
  ModuleHandle HInstance() override;
};

// The descriptor, with the brush's six blocks bound to it on first use.
BrushClassDesc* GetBrushDesc();

}  // namespace tarnis
