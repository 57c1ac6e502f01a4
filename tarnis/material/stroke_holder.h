// StrokeHolder: an invisible material that keeps, for one zone of a toon
// material, the stroke maps that last left the zone's six stroke slots, so
// that the material can put one back when its slot was given something that
// is not a stroke map. Owned by the toon material (not one of its
// references, never saved).
#pragma once

#include "sdk/mtl.h"
#include "tarnis/material/tarmat_params.h"

namespace tarnis {

inline constexpr Class_ID kStrokeHolderClassID(0x54022257, 0x0814C5BB);

class StrokeHolder final : public Mtl {
 public:
  StrokeHolder() = default;
  explicit StrokeHolder(bool /*loading*/) {}

  void Shade(ShadeContext&) override {}
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  int NumSubTexmaps() override { return kTarmatStrokesPerZone; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;

  Class_ID ClassID() override { return kStrokeHolderClassID; }
  void GetClassName(CStr& s) override { s = "STROKE HOLDER"; }
  int NumRefs() override { return kTarmatStrokesPerZone; }
  ReferenceTarget* GetReference(int i) override;
  RefResult NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage) override {
    return REF_SUCCEED;
  }
  ReferenceTarget* Clone(RemapDir& remap) override;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  Texmap* maps_[kTarmatStrokesPerZone] = {};
};

}  // namespace tarnis
