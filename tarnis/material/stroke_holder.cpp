#include "tarnis/material/stroke_holder.h"

namespace tarnis {

Texmap* StrokeHolder::GetSubTexmap(int i) {
  return i >= 0 && i < kTarmatStrokesPerZone ? maps_[i] : nullptr;
}

void StrokeHolder::SetSubTexmap(int i, Texmap* m) {
  if (i >= 0 && i < kTarmatStrokesPerZone) ReplaceReference(i, m);
}

ReferenceTarget* StrokeHolder::GetReference(int i) {
  return GetSubTexmap(i);
}

void StrokeHolder::SetReference(int i, ReferenceTarget* target) {
  if (i >= 0 && i < kTarmatStrokesPerZone) maps_[i] = dynamic_cast<Texmap*>(target);
}

ReferenceTarget* StrokeHolder::Clone(RemapDir& remap) {
  auto* copy = new StrokeHolder;
  BaseClone(this, copy, remap);
  for (int i = 0; i < kTarmatStrokesPerZone; ++i) copy->ReplaceReference(i, maps_[i]);
  return copy;
}

}  // namespace tarnis
