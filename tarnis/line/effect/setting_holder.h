// SettingHolder: an invisible material-class container ("brush holder") with
// 18 map slots, slot k standing for setting slot k of a line set
// (k = 6 × (line type − 1) + setting slot). It keeps the settings that left
// the line set's slots, so that a slot given something that is not a line
// setting can be put back (RepairSettingSlots).
#pragma once

#include "sdk/class_desc.h"
#include "sdk/mtl.h"
#include "tarnis/common/plugin_class_desc.h"

namespace tarnis {

inline constexpr Class_ID kSettingHolderClassID(0x0ABA4C8F, 0x40C96A9E);
inline constexpr int kSettingHolderSlots = 18;
inline constexpr int kSettingsPerType = 6;

class SettingHolder : public Mtl {
 public:
  SettingHolder() = default;

  // A setting left line-set slot k (replaced by `incoming`): the holder keeps
  // `outgoing` in its slot k when it is a line setting other than `incoming`.
  void KeepOutgoing(int k, ReferenceTarget* outgoing, ReferenceTarget* incoming);

  // --- Mtl: a container only ----------------------------------------------------
  void Shade(ShadeContext&) override {}
  void Update(TimeValue, Interval&) override {}
  Interval Validity(TimeValue) override { return FOREVER; }
  int NumSubTexmaps() override { return kSettingHolderSlots; }
  Texmap* GetSubTexmap(int i) override;
  void SetSubTexmap(int i, Texmap* m) override;
  CStr GetSubTexmapSlotName(int i) override;

  Class_ID ClassID() override { return kSettingHolderClassID; }
  void GetClassName(CStr& s) override { s = "brush holder"; }
  int NumRefs() override { return kSettingHolderSlots; }
  ReferenceTarget* GetReference(int i) override;
  ReferenceTarget* Clone(RemapDir& remap) override;

 protected:
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  ReferenceTarget* refs_[kSettingHolderSlots] = {};
};

// The setting-slot repair a line-type panel runs when it refreshes. The
// setting slots of `owner` are its references firstRef .. firstRef + 17.
// A base slot (slot 0 of a type) that is empty, or any slot holding
// something that is not a LineSetting, gets the setting the holder keeps
// for it (the holder's slot is then emptied); with nothing kept, a foreign
// object is removed and an empty base slot stays empty. When anything was
// repaired, one warning "Brush Map Error" (caption "Tarnis") is shown.
// Answers the number of slots repaired.
int RepairSettingSlots(ReferenceMaker* owner, int firstRef, SettingHolder* holder);

template <>
struct PluginClassTraits<SettingHolder> {
  static constexpr bool kPublic = false;
  static constexpr const char* kInternalName = "Tarnis_SettingHolder";
  static constexpr const char* kClassName = "brush holder";
  static constexpr SClass_ID kSuperClassID = MATERIAL_CLASS_ID;
  static constexpr Class_ID kClassID = kSettingHolderClassID;
  static constexpr const char* kCategory = "";
};

PluginClassDesc<SettingHolder>* GetSettingHolderDesc();

}  // namespace tarnis
