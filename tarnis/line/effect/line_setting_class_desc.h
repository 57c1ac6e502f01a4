// LineSettingClassDesc: the class descriptor of LineSetting
// ("Tarnis_LineSetting", a texture map the host does not offer in its lists).
#pragma once

#include "sdk/class_desc.h"

namespace tarnis {

class LineSettingClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  // A new setting (as a ReferenceTarget*), or null when memory runs out.
  void* Create(bool loading) override;
  // String 136; stays valid for the whole run.
  const char* ClassName() override;
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override;
  const char* Category() override { return ""; }
  const char* InternalName() override { return "Tarnis_LineSetting"; }
  ModuleHandle HInstance() override;
};

// The descriptor, with the block "main" bound to it on first use.
LineSettingClassDesc* GetLineSettingDesc();

}  // namespace tarnis
