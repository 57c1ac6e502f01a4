#include "tarnis/material/tarmat.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/interface.h"
#include "sdk/save_load.h"
#include "tarnis/material/stroke_holder.h"
#include "tarnis/material/tarmat_class_desc.h"
#include "tarnis/material/tarmat_ext_class_desc.h"
#include "tarnis/material/tarmat_ext_shader.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

bool IsStrokeMap(ReferenceTarget* target) {
  return target && target->SuperClassID() == TEXMAP_CLASS_ID &&
         target->ClassID() == kStrokeClassID && dynamic_cast<Texmap*>(target);
}

bool IsExtMaterial(ReferenceTarget* target) {
  return dynamic_cast<TarmatExt*>(target) != nullptr;
}

// The zone and slot of a stroke reference, or false.
bool StrokeSlotOf(int ref, int& zone, int& slot) {
  if (ref < kTarmatZoneRefs || ref >= kTarmatNumRefs) return false;
  const int offset = (ref - kTarmatZoneRefs) % kTarmatRefsPerZone;
  if (offset == 0) return false;
  zone = (ref - kTarmatZoneRefs) / kTarmatRefsPerZone;
  slot = offset - 1;
  return true;
}

// The reference of sub-map i: five fixed maps, then per zone its map and
// six strokes laid out as the references are.
int SubTexmapRef(int i) {
  if (i < 0 || i >= kTarmatNumSubTexmaps) return -1;
  return i < 5 ? kTarmatHiMapRef + i : kTarmatZoneRefs + (i - 5);
}

std::string Text(int id) {
  const char* text = GetString(id);
  return text ? text : "";
}

void Warn(int id) {
  if (Interface* ip = GetCOREInterface()) {
    ip->MessageBox(Text(id).c_str(), "Tarnis", MessageIcon::Warning);
  }
}

class TarmatPostLoadCallback : public PostLoadCallback {
 public:
  explicit TarmatPostLoadCallback(Tarmat* mtl) : mtl_(mtl) {}
  void proc(ILoad* iload) override { mtl_->RepairAfterLoad(iload); }

 private:
  Tarmat* mtl_;
};

}  // namespace

PluginClassDesc<Tarmat>* GetTarmatDesc() {
  return PluginClassDesc<Tarmat>::Get();
}

PluginClassDesc<StrokeHolder>* GetStrokeHolderDesc() {
  return PluginClassDesc<StrokeHolder>::Get();
}

Tarmat::Tarmat(bool loading) : loading_(loading) {
  CreatePrivateObjects();
  if (loading) return;
  GetTarmatDesc()->MakeAutoParamBlocks(this);
  Reset();
}

Tarmat::~Tarmat() = default;

void Tarmat::CreatePrivateObjects() {
  HoldSuspend suspend;
  shader_.Set(new TarmatExtShader);
  extHolder_.Set(new TarmatExtHolder);
  for (ReferenceHolder& holder : strokeHolders_) holder.Set(new StrokeHolder);
}

IParamBlock2* Tarmat::Block(int block) const {
  if (block < 0 || block >= kTarmatNumBlocks) return nullptr;
  auto* pb = dynamic_cast<IParamBlock2*>(refs_[block]);
  return pb && pb->GetDesc() == TarmatBlockDesc(block) ? pb : nullptr;
}

TarmatExt* Tarmat::Ext() const {
  return dynamic_cast<TarmatExt*>(refs_[kTarmatExtMtlRef]);
}

Texmap* Tarmat::RefMap(int ref) const {
  auto* map = dynamic_cast<Texmap*>(refs_[ref]);
  // A map that references this material would shade it again from inside.
  if (!map || const_cast<Tarmat*>(this)->HasDependent(map)) return nullptr;
  return map;
}

// --- Reset and defaults --------------------------------------------------------------------

void Tarmat::Reset() {
  for (int b = 0; b < kTarmatNumBlocks; ++b) {
    if (!Block(b)) ReplaceReference(b, CreateParameterBlock2(TarmatBlockDesc(b), this));
  }
  ReplaceReference(kTarmatBaseMtlRef, static_cast<ReferenceTarget*>(NewDefaultStdMat()));
  ReplaceReference(kTarmatExtMtlRef, new TarmatExt);
  for (int ref = kTarmatHiMapRef; ref < kTarmatNumRefs; ++ref) ReplaceReference(ref, nullptr);
  FillStrokeSlots();
  ApplyGradationDefaults(CurrentGradationDefaults());
  ivalid_.SetEmpty();
  Interval valid = FOREVER;
  Update(0, valid);
}

void Tarmat::FillStrokeSlots() {
  // Named from the top: zone 1's slots 1..6 hold "#6".."#1", zone 2's
  // "#12".."#7" and so on. Where the stroke map's class is not loaded the
  // slots stay empty, which the slot check accepts.
  for (int z = 0; z < kToonZones; ++z) {
    for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
      void* made = CreateInstance(TEXMAP_CLASS_ID, kStrokeClassID);
      auto* map = made ? dynamic_cast<Texmap*>(static_cast<ReferenceTarget*>(made)) : nullptr;
      if (!map) return;
      const int number = kTarmatStrokesPerZone * (z + 1) - s;
      map->SetName(("#" + std::to_string(number)).c_str());
      ReplaceReference(StrokeRef(z, s), map);
    }
  }
}

void Tarmat::ApplyGradationDefaults(const GradationLayout& layout) {
  HoldSuspend suspend;
  for (int z = 0; z < kToonZones; ++z) {
    IParamBlock2* pb = Block(kTarmatBlockZone1 + z);
    if (!pb) continue;
    pb->SetValue(kTzMin, 0, layout[z].min);
    pb->SetValue(kTzMax, 0, layout[z].max);
    pb->SetValue(kTzColor, 0, layout[z].color);
    pb->SetValue(kTzBlend, 0, layout[z].blend);
    pb->SetValue(kTzAlpha, 0, layout[z].amount);
  }
}

// --- Update ------------------------------------------------------------------------------

void Tarmat::CheckSlots() {
  bool strokeFailed = false;
  for (int z = 0; z < kToonZones; ++z) {
    auto* holder = strokeHolders_[z].GetAs<StrokeHolder>();
    for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
      const int ref = StrokeRef(z, s);
      ReferenceTarget* now = refs_[ref];
      Texmap* kept = holder ? holder->GetSubTexmap(s) : nullptr;
      if (!IsStrokeMap(now) && (now || kept)) {
        // A slot holds only stroke maps: the one that left it comes back,
        // and a wrong map goes even when none is kept.
        strokeFailed = true;
        ReplaceReference(ref, kept);
      }
      if (holder && kept) holder->SetSubTexmap(s, nullptr);
    }
  }
  if (strokeFailed) Warn(kStrOnlyStrokeMaps);

  auto* extHolder = extHolder_.GetAs<TarmatExtHolder>();
  ReferenceTarget* ext = refs_[kTarmatExtMtlRef];
  Mtl* keptExt = extHolder ? extHolder->GetSubMtl(0) : nullptr;
  if (!IsExtMaterial(ext) && (ext || keptExt)) {
    ReplaceReference(kTarmatExtMtlRef, keptExt);
    Warn(kStrOnlyMaterialExt);
  }
  if (extHolder && keptExt) extHolder->SetSubMtl(0, nullptr);
}

void Tarmat::Update(TimeValue t, Interval& valid) {
  if (updating_) return;  // reached again through a material or map cycle
  updating_ = true;
  if (!loading_) {
    HoldSuspend suspend;
    CheckSlots();
  }
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    ReadValues(t, iv);
    UpdatePrivate(t, iv);
    ivalid_ = iv;
  }
  valid &= ivalid_;
  updating_ = false;
}

void Tarmat::ReadValues(TimeValue t, Interval& iv) {
  TarmatValues v;
  if (IParamBlock2* pb = Block(kTarmatBlockMain)) {
    auto f = [&](ParamID id) {
      float x = 0.0f;
      pb->GetValue(id, t, x, iv);
      return x;
    };
    auto i = [&](ParamID id) {
      int x = 0;
      pb->GetValue(id, t, x, iv);
      return x;
    };
    v.shade = f(kTmShade) * 0.01f;
    pb->GetValue(kTmHiColor, t, v.hiColor, iv);
    v.hiBlend = i(kTmHiBlend);
    v.hiAlpha = f(kTmHiAlpha) * 0.01f;
    v.hiLevel = static_cast<float>(i(kTmHiLevel)) * 0.01f;
    v.hiGross = static_cast<float>(i(kTmHiGross)) * 0.01f;
    v.hiAniso = static_cast<float>(i(kTmHiAniso)) * 0.01f;
    v.hiOrient = static_cast<float>(i(kTmHiOrient)) * 0.01f;
    v.hiSharp = static_cast<float>(i(kTmHiSharp)) * 0.0099f;
    v.hiMapOpacity = f(kTmHiMapOpacity);
    v.hiMapEnable = i(kTmHiMapEnable) != 0;
    v.bumpEnable = i(kTmBumpEnable) != 0;
    v.bumpAmount = static_cast<float>(i(kTmBumpAmount)) * 0.01f;
    v.reflecEnable = i(kTmReflecEnable) != 0;
    v.reflecAmount = static_cast<float>(i(kTmReflecAmount)) * 0.01f;
    v.rndAuto = i(kTmRndAuto) != 0;
    v.rndInterval = std::max(1, i(kTmRndInterval));
    v.rndMoveDetect = i(kTmRndMoveDetect) != 0;
    v.strokeOnly = i(kTmStrokeOnly) != 0;
    v.strokeHiddenFace = i(kTmStrokeHiddenFace) != 0;
    v.strokeScale = 1.0f / (std::max(f(kTmStrokeScale), 1.0f) * 0.01f);
  }
  for (int z = 0; z < kToonZones; ++z) {
    ZoneValues& zone = v.zones[z];
    IParamBlock2* pb = Block(kTarmatBlockZone1 + z);
    if (!pb) continue;
    float x = 0.0f;
    int n = 0;
    pb->GetValue(kTzMin, t, x, iv);
    zone.core.min = x * 0.01f;
    pb->GetValue(kTzMax, t, x, iv);
    zone.core.max = x * 0.01f;
    pb->GetValue(kTzEnable, t, n, iv);
    zone.enable = n != 0;
    pb->GetValue(kTzColor, t, zone.color, iv);
    pb->GetValue(kTzMapOpacity, t, zone.mapOpacity, iv);
    pb->GetValue(kTzMapEnable, t, n, iv);
    zone.mapEnable = n != 0;
    pb->GetValue(kTzBlend, t, zone.blend, iv);
    pb->GetValue(kTzAlpha, t, x, iv);
    zone.alpha = x * 0.01f;
    for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
      n = 0;
      pb->GetValue(kTzStrokeEnable, t, n, iv, s);
      zone.strokeEnable[s] = n != 0;
    }
  }
  values_ = v;
}

void Tarmat::UpdatePrivate(TimeValue t, Interval& iv) {
  TarmatValues& v = values_;
  v.base = dynamic_cast<Mtl*>(refs_[kTarmatBaseMtlRef]);
  if (v.base == this) v.base = nullptr;
  if (v.base) v.base->Update(t, iv);

  if (TarmatExt* ext = Ext()) {
    ext->Update(t, iv);
    v.ext = ext->Values();
  } else {
    v.ext = TarmatExtValues{};
  }

  auto map = [&](int ref) {
    Texmap* m = RefMap(ref);
    if (m) m->Update(t, iv);
    return m;
  };
  v.hiMap = map(kTarmatHiMapRef);
  v.hiLevelMap = map(kTarmatHiLevelMapRef);
  v.hiGrossMap = map(kTarmatHiGrossMapRef);
  v.bumpMap = map(kTarmatBumpMapRef);
  v.reflecMap = map(kTarmatReflecMapRef);
  for (int z = 0; z < kToonZones; ++z) {
    ZoneValues& zone = v.zones[z];
    zone.map = map(ZoneMapRef(z));
    for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
      Texmap* stroke = map(StrokeRef(z, s));
      zone.strokes[s] = zone.strokeEnable[s] && IsStrokeMap(stroke)
                            ? dynamic_cast<ZoneStroke*>(stroke)
                            : nullptr;
    }
  }

  if (auto* shader = shader_.GetAs<TarmatExtShader>()) {
    HoldSuspend suspend;
    shader->SetSpecularLevel(v.hiLevel, t);
    shader->SetGlossiness(v.hiGross, t);
    shader->SetAnisotropy(v.hiAniso, t);
    shader->SetOrientation(v.hiOrient * 0.01f, t);
    shader->SetDesign(v.ext.designAmount, v.ext.designAngle, v.hiSharp, v.ext.outline);
    Interval shaderValid = FOREVER;
    shader->Update(t, shaderValid);
  }
}

Interval Tarmat::Validity(TimeValue t) {
  Interval v = FOREVER;
  for (int b = 0; b < kTarmatNumBlocks; ++b) {
    if (IParamBlock2* pb = Block(b)) v &= pb->GetValidity(t);
  }
  for (int ref = kTarmatBaseMtlRef; ref < kTarmatNumRefs; ++ref) {
    auto* sub = dynamic_cast<MtlBase*>(refs_[ref]);
    if (sub && sub != this) v &= sub->Validity(t);
  }
  return v;
}

uint32_t Tarmat::Requirements(int subMtlNum) {
  uint32_t req = 0;
  if (values_.base) req |= values_.base->Requirements(subMtlNum);
  if (values_.strokeOnly) req |= MTLREQ_TRANSP;
  for (int i = 0; i < kTarmatNumSubTexmaps; ++i) {
    if (Texmap* m = RefMap(SubTexmapRef(i))) req |= m->Requirements(subMtlNum);
  }
  if (values_.bumpEnable && values_.bumpMap) req |= MTLREQ_BUMP;
  return req;
}

void Tarmat::LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
  if (values_.base) values_.base->LocalMappingsRequired(subMtlNum, channels);
  for (int i = 0; i < kTarmatNumSubTexmaps; ++i) {
    if (Texmap* m = RefMap(SubTexmapRef(i))) m->LocalMappingsRequired(subMtlNum, channels);
  }
}

bool Tarmat::BuildMaps(TimeValue t, RenderMapsContext& rmc) {
  if (values_.base && !values_.base->BuildMaps(t, rmc)) return false;
  for (int i = 0; i < kTarmatNumSubTexmaps; ++i) {
    if (Texmap* m = RefMap(SubTexmapRef(i)); m && !m->BuildMaps(t, rmc)) return false;
  }
  return true;
}

Color Tarmat::GetDiffuse(int, bool) {
  return values_.zones[kToonZones - 1].color;
}

// --- Sub-maps, sub-materials, references ---------------------------------------------------

Texmap* Tarmat::GetSubTexmap(int i) {
  const int ref = SubTexmapRef(i);
  return ref < 0 ? nullptr : dynamic_cast<Texmap*>(refs_[ref]);
}

void Tarmat::SetSubTexmap(int i, Texmap* m) {
  const int ref = SubTexmapRef(i);
  if (ref >= 0) ReplaceReference(ref, m);
}

CStr Tarmat::GetSubTexmapSlotName(int i) {
  static const int kFixed[5] = {kStrSlotHighlightMap, kStrSlotHighlightLevelMap,
                                kStrSlotHighlightGlossMap, kStrSlotBumpMap, kStrSlotReflectionMap};
  if (i < 0 || i >= kTarmatNumSubTexmaps) return "";
  if (i < 5) return Text(kFixed[i]).c_str();
  const int zone = (i - 5) / kTarmatRefsPerZone + 1;
  const int offset = (i - 5) % kTarmatRefsPerZone;
  std::string name = Text(kStrZone) + " " + std::to_string(zone) + " ";
  name += offset == 0 ? Text(kStrMap) : Text(kStrStroke) + " " + std::to_string(offset);
  return name.c_str();
}

Mtl* Tarmat::GetSubMtl(int i) {
  if (i == 0) return dynamic_cast<Mtl*>(refs_[kTarmatBaseMtlRef]);
  if (i == 1) return dynamic_cast<Mtl*>(refs_[kTarmatExtMtlRef]);
  return nullptr;
}

void Tarmat::SetSubMtl(int i, Mtl* m) {
  if (i == 0) ReplaceReference(kTarmatBaseMtlRef, m);
  if (i == 1) ReplaceReference(kTarmatExtMtlRef, m);
}

CStr Tarmat::GetSubMtlSlotName(int i) {
  if (i == 0) return Text(kStrSlotBaseMaterial).c_str();
  if (i == 1) return Text(kStrSlotExtMaterial).c_str();
  return "";
}

void Tarmat::GetClassName(CStr& s) {
  s = GetTarmatDesc()->ClassName();
}

ReferenceTarget* Tarmat::GetReference(int i) {
  return i >= 0 && i < kTarmatNumRefs ? refs_[i] : nullptr;
}

CStr Tarmat::SubAnimName(int i) {
  if (i >= 0 && i < kTarmatNumBlocks) {
    if (IParamBlock2* pb = Block(i)) return pb->GetDesc()->InternalName().c_str();
    return "";
  }
  if (i == kTarmatBaseMtlRef) return GetSubMtlSlotName(0);
  if (i == kTarmatExtMtlRef) return GetSubMtlSlotName(1);
  for (int s = 0; s < kTarmatNumSubTexmaps; ++s) {
    if (SubTexmapRef(s) == i) return GetSubTexmapSlotName(s);
  }
  return "";
}

bool Tarmat::Fits(int slot, ReferenceTarget* target) const {
  if (!target) return true;
  if (slot < kTarmatNumBlocks) {
    auto* pb = dynamic_cast<IParamBlock2*>(target);
    return pb && pb->GetDesc() == TarmatBlockDesc(slot);
  }
  if (slot == kTarmatBaseMtlRef || slot == kTarmatExtMtlRef) {
    return target->SuperClassID() == MATERIAL_CLASS_ID && dynamic_cast<Mtl*>(target);
  }
  return target->SuperClassID() == TEXMAP_CLASS_ID && dynamic_cast<Texmap*>(target);
}

void Tarmat::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kTarmatNumRefs) return;
  if (!loading_) {
    if (!Fits(i, target)) return;
    // What leaves a stroke or advanced-settings slot is kept, so that the
    // next update can put it back should its replacement not belong there.
    int zone = 0, slot = 0;
    ReferenceTarget* old = refs_[i];
    if (old && old != target && StrokeSlotOf(i, zone, slot) && IsStrokeMap(old)) {
      if (auto* holder = strokeHolders_[zone].GetAs<StrokeHolder>()) {
        holder->SetSubTexmap(slot, static_cast<Texmap*>(old));
      }
    } else if (old && old != target && i == kTarmatExtMtlRef && IsExtMaterial(old)) {
      if (auto* holder = extHolder_.GetAs<TarmatExtHolder>()) {
        holder->SetSubMtl(0, static_cast<Mtl*>(old));
      }
    }
  }
  refs_[i] = target;
  ivalid_.SetEmpty();
}

RefResult Tarmat::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                   RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* Tarmat::Clone(RemapDir& remap) {
  auto* copy = new Tarmat(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kTarmatNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  copy->loading_ = false;
  copy->SetName(GetName());
  Interval valid = FOREVER;
  copy->Update(0, valid);
  return copy;
}

IOResult Tarmat::Save(ISave* isave) {
  return SaveName(isave);
}

IOResult Tarmat::Load(ILoad* iload) {
  loading_ = true;
  ivalid_.SetEmpty();
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<TarmatPostLoadCallback>(this));
  return IO_OK;
}

void Tarmat::RepairAfterLoad(ILoad* iload) {
  HoldSuspend suspend;
  for (int i = 0; i < kTarmatNumRefs; ++i) {
    if (refs_[i] && !Fits(i, refs_[i])) {
      iload->LogWarning("toon material slot " + std::to_string(i) +
                        " held an object of the wrong kind; it was dropped");
      ReplaceReference(i, nullptr);
    }
  }
  loading_ = false;
  for (int b = 0; b < kTarmatNumBlocks; ++b) {
    if (!Block(b)) ReplaceReference(b, CreateParameterBlock2(TarmatBlockDesc(b), this));
  }
  ivalid_.SetEmpty();
}

// --- Editing operations --------------------------------------------------------------------

float Tarmat::ZoneValue(int zone, ParamID id, TimeValue t) {
  IParamBlock2* pb = Block(kTarmatBlockZone1 + zone);
  float x = 0.0f;
  Interval valid = FOREVER;
  if (pb) pb->GetValue(id, t, x, valid);
  return x;
}

std::pair<float, float> Tarmat::ZoneMinLimits(int zone, TimeValue t) {
  const float lo = zone > 0 ? ZoneValue(zone - 1, kTzMin, t) : 0.0f;
  return {lo, ZoneValue(zone, kTzMax, t)};
}

std::pair<float, float> Tarmat::ZoneMaxLimits(int zone, TimeValue t) {
  const float hi = zone < kToonZones - 1 ? ZoneValue(zone + 1, kTzMax, t) : 100.0f;
  return {ZoneValue(zone, kTzMin, t), hi};
}

void Tarmat::SetZoneMin(int zone, float value, TimeValue t) {
  if (zone < 0 || zone >= kToonZones) return;
  const auto [lo, hi] = ZoneMinLimits(zone, t);
  value = std::clamp(value, lo, std::max(lo, hi));
  if (zone > 0 && value < ZoneValue(zone - 1, kTzMax, t)) {
    Block(kTarmatBlockZone1 + zone - 1)->SetValue(kTzMax, t, value);
  }
  if (IParamBlock2* pb = Block(kTarmatBlockZone1 + zone)) pb->SetValue(kTzMin, t, value);
}

void Tarmat::SetZoneMax(int zone, float value, TimeValue t) {
  if (zone < 0 || zone >= kToonZones) return;
  const auto [lo, hi] = ZoneMaxLimits(zone, t);
  value = std::clamp(value, lo, std::max(lo, hi));
  if (zone < kToonZones - 1 && value > ZoneValue(zone + 1, kTzMin, t)) {
    Block(kTarmatBlockZone1 + zone + 1)->SetValue(kTzMin, t, value);
  }
  if (IParamBlock2* pb = Block(kTarmatBlockZone1 + zone)) pb->SetValue(kTzMax, t, value);
}

Tarmat::ZonePositions Tarmat::CopyZonePositions(TimeValue t) {
  ZonePositions positions;
  for (int z = 0; z < kToonZones; ++z) {
    positions[z] = {ZoneValue(z, kTzMin, t), ZoneValue(z, kTzMax, t)};
  }
  return positions;
}

void Tarmat::PasteZonePositions(const ZonePositions& positions, TimeValue t) {
  theHold.Begin();
  for (int z = 0; z < kToonZones; ++z) {
    if (IParamBlock2* pb = Block(kTarmatBlockZone1 + z)) {
      pb->SetValue(kTzMin, t, positions[z].first);
      pb->SetValue(kTzMax, t, positions[z].second);
    }
  }
  theHold.Accept(Text(kStrParameterChange).c_str());
}

GradationLayout Tarmat::ZoneLayout(TimeValue t) {
  GradationLayout layout;
  for (int z = 0; z < kToonZones; ++z) {
    IParamBlock2* pb = Block(kTarmatBlockZone1 + z);
    if (!pb) continue;
    Interval valid = FOREVER;
    pb->GetValue(kTzMin, t, layout[z].min, valid);
    pb->GetValue(kTzMax, t, layout[z].max, valid);
    pb->GetValue(kTzColor, t, layout[z].color, valid);
    pb->GetValue(kTzBlend, t, layout[z].blend, valid);
    pb->GetValue(kTzAlpha, t, layout[z].amount, valid);
  }
  return layout;
}

Tarmat::StrokeSet Tarmat::CopyStrokeSet(int zone, TimeValue t) {
  StrokeSet set{};
  IParamBlock2* pb = zone >= 0 && zone < kToonZones ? Block(kTarmatBlockZone1 + zone) : nullptr;
  if (!pb) return set;
  for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
    int on = 0;
    Interval valid = FOREVER;
    pb->GetValue(kTzStrokeEnable, t, on, valid, s);
    if (on) set[s] = dynamic_cast<Texmap*>(refs_[StrokeRef(zone, s)]);
  }
  return set;
}

void Tarmat::PasteStrokeSet(int zone, const StrokeSet& set, bool instance, TimeValue t) {
  IParamBlock2* pb = zone >= 0 && zone < kToonZones ? Block(kTarmatBlockZone1 + zone) : nullptr;
  if (!pb) return;
  theHold.Begin();
  // A scene file may have given the switches as a shorter list.
  if (pb->Count(kTzStrokeEnable) < kTarmatStrokesPerZone) {
    pb->SetCount(kTzStrokeEnable, kTarmatStrokesPerZone);
  }
  for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
    if (!set[s]) continue;
    ReferenceTarget* map = instance ? set[s] : CloneRefHierarchy(set[s]);
    if (!map) continue;  // a map that cannot be copied leaves the slot as it is
    ReplaceReference(StrokeRef(zone, s), map);
    pb->SetValue(kTzStrokeEnable, t, true, s);
  }
  theHold.Accept(Text(kStrParameterChange).c_str());
}

bool Tarmat::SaveZoneLayoutAsDefault(TimeValue t) {
  return SaveGradationDefaults(ZoneLayout(t));
}

namespace {

std::optional<Tarmat::ZonePositions>& ZoneClipboard() {
  static std::optional<Tarmat::ZonePositions> clipboard;
  return clipboard;
}

std::array<ReferenceHolder, kTarmatStrokesPerZone>& StrokeClipboard() {
  // Never destroyed: the maps it holds may outlive the reference system's
  // own teardown otherwise.
  static auto* clipboard = new std::array<ReferenceHolder, kTarmatStrokesPerZone>;
  return *clipboard;
}

bool& StrokeClipboardFull() {
  static bool full = false;
  return full;
}

}  // namespace

void CopyZonePositionsToClipboard(Tarmat& mtl, TimeValue t) {
  ZoneClipboard() = mtl.CopyZonePositions(t);
}

bool PasteZonePositionsFromClipboard(Tarmat& mtl, TimeValue t) {
  if (!ZoneClipboard()) return false;
  mtl.PasteZonePositions(*ZoneClipboard(), t);
  return true;
}

void CopyStrokeSetToClipboard(Tarmat& mtl, int zone, TimeValue t) {
  const Tarmat::StrokeSet set = mtl.CopyStrokeSet(zone, t);
  for (int s = 0; s < kTarmatStrokesPerZone; ++s) StrokeClipboard()[s].Set(set[s]);
  StrokeClipboardFull() = true;
}

bool PasteStrokeSetFromClipboard(Tarmat& mtl, int zone, bool instance, TimeValue t) {
  if (!StrokeClipboardFull()) return false;
  Tarmat::StrokeSet set{};
  for (int s = 0; s < kTarmatStrokesPerZone; ++s) {
    set[s] = StrokeClipboard()[s].GetAs<Texmap>();
  }
  mtl.PasteStrokeSet(zone, set, instance, t);
  return true;
}

int Tarmat::StrokeSeed(ShadeContext& sc) const {
  if (!values_.rndAuto || sc.InMtlEditor()) return 0;
  // The per-object frame offset of still-standing objects is the renderer's
  // bookkeeping; without it the offset is 0.
  const double frame = static_cast<double>(GetFrameRate()) * sc.CurTime() / 4800.0 + 0.5;
  return static_cast<int>(frame / values_.rndInterval);
}

}  // namespace tarnis
