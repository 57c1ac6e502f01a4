// LineSetClassDesc: the class descriptor of LineSet ("Tarnis_LineSet", a
// render effect the host does not offer: only the line effect makes one).
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

class LineSetClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  // A new line set (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override;
  // String 600; stays valid for the whole run.
  const char* ClassName() override;
  SClass_ID SuperClassID() override { return RENDER_EFFECT_CLASS_ID; }
  Class_ID ClassID() override;
  const char* Category() override { return ""; }
  const char* InternalName() override { return "Tarnis_LineSet"; }
  ModuleHandle HInstance() override;
};

// The descriptor, with its seven blocks bound to it on first use.
LineSetClassDesc* GetLineSetDesc();

}  // namespace tarnis
