// A plug-in module for the loader tests with one class. Built twice: once for
// this SDK and once with TEST_MODULE_OTHER_VERSION, which claims another
// SDK version and must be refused.
#include "sdk/plugin_api.h"
#include "sdk/reference.h"

namespace {

class TestModuleObject : public ReferenceTarget {
 public:
  Class_ID ClassID() override { return Class_ID(0x7E570001, 0x7E570002); }
};

class TestModuleDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new TestModuleObject); }
  const char* ClassName() override { return "Test Module Object"; }
  const char* InternalName() override { return "TestModuleObject"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x7E570001, 0x7E570002); }
  const char* Category() override { return ""; }
};

TestModuleDesc gDesc;

}  // namespace

TARNIS_PLUGIN_EXPORT const char* LibDescription() { return "one-class test module"; }
TARNIS_PLUGIN_EXPORT int LibNumberClasses() { return 1; }
TARNIS_PLUGIN_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? &gDesc : nullptr; }
#ifdef TEST_MODULE_OTHER_VERSION
TARNIS_PLUGIN_EXPORT unsigned long LibVersion() { return GetSDKVersion() + 1; }
#else
TARNIS_PLUGIN_EXPORT unsigned long LibVersion() { return GetSDKVersion(); }
#endif
TARNIS_PLUGIN_EXPORT int CanAutoDefer() { return 0; }
