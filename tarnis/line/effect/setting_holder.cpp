#include "tarnis/line/effect/setting_holder.h"

#include <string>

#include "sdk/interface.h"
#include "tarnis/line/effect/line_setting.h"

namespace tarnis {

void SettingHolder::KeepOutgoing(int k, ReferenceTarget* outgoing, ReferenceTarget* incoming) {
  if (k < 0 || k >= kSettingHolderSlots || outgoing == incoming) return;
  // The latest setting to leave is the one a repair gives back.
  if (dynamic_cast<LineSetting*>(outgoing)) ReplaceReference(k, outgoing);
}

Texmap* SettingHolder::GetSubTexmap(int i) {
  return dynamic_cast<Texmap*>(GetReference(i));
}

void SettingHolder::SetSubTexmap(int i, Texmap* m) {
  if (i >= 0 && i < kSettingHolderSlots) ReplaceReference(i, m);
}

CStr SettingHolder::GetSubTexmapSlotName(int i) {
  if (i < 0 || i >= kSettingHolderSlots) return "";
  return ("Slot" + std::to_string(i)).c_str();
}

ReferenceTarget* SettingHolder::GetReference(int i) {
  return i >= 0 && i < kSettingHolderSlots ? refs_[i] : nullptr;
}

void SettingHolder::SetReference(int i, ReferenceTarget* target) {
  if (i >= 0 && i < kSettingHolderSlots) refs_[i] = target;
}

ReferenceTarget* SettingHolder::Clone(RemapDir& remap) {
  auto* copy = new SettingHolder;
  BaseClone(this, copy, remap);
  for (int i = 0; i < kSettingHolderSlots; ++i) {
    if (refs_[i]) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  }
  return copy;
}

int RepairSettingSlots(ReferenceMaker* owner, int firstRef, SettingHolder* holder) {
  if (!owner || !holder) return 0;
  int repaired = 0;
  for (int k = 0; k < kSettingHolderSlots; ++k) {
    ReferenceTarget* current = owner->GetReference(firstRef + k);
    const bool foreign = current && !dynamic_cast<LineSetting*>(current);
    const bool baseMissing = !current && k % kSettingsPerType == 0;
    if (!foreign && !baseMissing) continue;
    ReferenceTarget* kept = holder->GetReference(k);
    if (dynamic_cast<LineSetting*>(kept)) {
      // The holder still holds it while the slot takes it back.
      owner->ReplaceReference(firstRef + k, kept);
      holder->ReplaceReference(k, nullptr);
      ++repaired;
    } else if (foreign) {
      owner->ReplaceReference(firstRef + k, nullptr);
      ++repaired;
    }
  }
  Interface* ip = GetCOREInterface();
  if (repaired > 0 && ip) ip->MessageBox("Brush Map Error", "Tarnis", MessageIcon::Warning);
  return repaired;
}

PluginClassDesc<SettingHolder>* GetSettingHolderDesc() {
  return PluginClassDesc<SettingHolder>::Get();
}

}  // namespace tarnis
