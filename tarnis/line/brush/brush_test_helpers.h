// Test helpers for the brush: ProbeMap, a texture map that answers either a
// constant or the u coordinate it is asked at and may reference one object
// (to build reference cycles), and RegisterBrushTestClasses, which puts the
// brush and ProbeMap into the class directory so graphs can be loaded.
#pragma once

#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "sdk/save_load.h"
#include "tarnis/line/brush/brush_class_desc.h"

namespace tarnis::testing {

class ProbeMap : public Texmap {
 public:
  static constexpr Class_ID kClassID{0x7E57B125, 0x0000A001};
  static constexpr float kReportU = -1.0f;  // value: answer the u coordinate

  explicit ProbeMap(float v = 0.0f) : value(v) {}

  AColor EvalColor(ShadeContext& sc) override {
    const float m = EvalMono(sc);
    return AColor(m, m, m, 1.0f);
  }
  float EvalMono(ShadeContext& sc) override { return value == kReportU ? sc.UVW(1).x : value; }
  void Update(TimeValue, Interval& valid) override { valid &= FOREVER; }
  Interval Validity(TimeValue) override { return FOREVER; }

  Class_ID ClassID() override { return kClassID; }
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override { return i == 0 ? ref_ : nullptr; }
  ReferenceTarget* Clone(RemapDir& remap) override {
    auto* copy = new ProbeMap(value);
    BaseClone(this, copy, remap);
    copy->ReplaceReference(0, remap.CloneRef(ref_));
    return copy;
  }
  IOResult Save(ISave* isave) override {
    isave->BeginChunk(1);
    isave->WriteFloat(value);
    isave->EndChunk();
    return IO_OK;
  }
  IOResult Load(ILoad* iload) override {
    while (iload->OpenChunk() == IO_OK) {
      if (iload->ReadFloat(value) != IO_OK) return IO_ERROR;
      iload->CloseChunk();
    }
    return IO_OK;
  }

  float value;

 protected:
  void SetReference(int i, ReferenceTarget* target) override {
    if (i == 0) ref_ = target;
  }

 private:
  ReferenceTarget* ref_ = nullptr;
};

class ProbeMapDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  void* Create(bool) override { return static_cast<ReferenceTarget*>(new ProbeMap); }
  const char* ClassName() override { return "ProbeMap"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return ProbeMap::kClassID; }
  const char* Category() override { return ""; }
};

inline void RegisterBrushTestClasses() {
  static ProbeMapDesc probeDesc;
  GetClassDirectory().AddClass(GetBrushDesc());
  GetClassDirectory().AddClass(&probeDesc);
}

}  // namespace tarnis::testing
