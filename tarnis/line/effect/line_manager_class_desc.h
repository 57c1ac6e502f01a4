// LineManagerClassDesc: the class descriptor of LineManager ("Tarnis_Line",
// the line effect the host offers in its render-effects list).
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

class LineManagerClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  // A new line effect (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override;
  // String 500; stays valid for the whole run.
  const char* ClassName() override;
  SClass_ID SuperClassID() override { return RENDER_EFFECT_CLASS_ID; }
  Class_ID ClassID() override;
  const char* Category() override { return ""; }
  const char* InternalName() override { return "Tarnis_Line"; }
  ModuleHandle HInstance() override;
};

// The descriptor, with its block "main" bound to it on first use.
LineManagerClassDesc* GetLineManagerDesc();

}  // namespace tarnis
