#include "tarnis/material/tarmat_ext.h"

#include <memory>
#include <string>

#include "sdk/angles.h"
#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/param_builders.h"
#include "sdk/save_load.h"
#include "tarnis/common/shape_control.h"
#include "tarnis/material/tarmat_ext_class_desc.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;
// The anti-aliasing width one unit of zoneAnti gives, in gradation units.
constexpr float kZoneAntiScale = 0.0075f;
// The design angle is measured from the highlight's up direction.
constexpr float kDesignAngleOffset = 90.0f;

ParamBlockDesc2& MainBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kTarmatExtBlockID, "main", kTarmatExtBlockRef),
      {
          CheckboxParam(kGradOffsetEnable, "gradOffsetEnable", kAnim, false),
          IntSpinnerParam(kGradOffsetAmount, "gradOffsetAmount", kAnim, 100, {-999.0f, 999.0f}),
          OwnedMapParam(kGradOffsetMap, "gradOffsetMap", kTarmatExtGradOffsetMapRef),
          FloatSpinnerParam(kGradOffsetMapOfs, "gradOffsetMapOfs", TYPE_FLOAT, kAnim, -0.5f,
                            {-9999.0f, 9999.0f}),
          CheckboxParam(kSblendEnable, "sblendEnable", kAnim, false),
          ColorSwatchParam(kSblendColor, "sblendColor", kAnim, Color(0.0f, 0.0f, 0.0f)),
          FloatSpinnerParam(kSblendMapOpacity, "sblendMapOpacity", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          CheckboxParam(kSblendMapEnable, "sblendMapEnable", kAnim, false),
          OwnedMapParam(kSblendMap, "sblendMap", kTarmatExtShadowMapRef),
          IntSpinnerParam(kSblendBlend, "sblendBlend", 0, 0, {0.0f, 15.0f}),
          FloatSpinnerParam(kSblendAlpha, "sblendAlpha", TYPE_FLOAT, kAnim, 100.0f, {0.0f, 100.0f}),
          CheckboxParam(kLightcolEnable, "lightcolEnable", kAnim, false),
          IntSpinnerParam(kLightcolBlend, "lightcolBlend", 0, 0, {0.0f, 15.0f}),
          FloatSpinnerParam(kLightcolAlpha, "lightcolAlpha", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          {.id = kLightcolZone,
           .internalName = "lightcolZone",
           .type = TYPE_BOOL_TAB,
           .def = true,
           .tabSize = kTarmatExtNumZones,
           .ui = {.control = ParamControl::kCheckbox}},
          CheckboxParam(kLightcolRelpaceEnable, "lightcolRelpaceEnable", kAnim, false),
          ColorSwatchParam(kLightcolRelpaceColor, "lightcolRelpaceColor", kAnim,
                           Color(0.0f, 0.0f, 0.0f)),
          FloatSpinnerParam(kLightcolReplaceAmount, "lightcolReplaceAmount", TYPE_FLOAT, kAnim,
                            100.0f, {0.0f, 100.0f}),
          CheckboxParam(kHiZoneEnable, "hiZoneEnable", kAnim, false),
          FloatSpinnerParam(kHiZoneAmount, "hiZoneAmount", TYPE_FLOAT, kAnim, 100.0f,
                            {0.0f, 999.0f}),
          FloatSpinnerParam(kHiZoneAngle, "hiZoneAngle", TYPE_FLOAT, kAnim, 0.0f,
                            {-3600.0f, 3600.0f}),
          FloatSpinnerParam(kZoneAnti, "zoneAnti", TYPE_FLOAT, kAnim, 100.0f, {0.0f, 999.0f}),
          CheckboxParam(kZoneAntiEnable, "zoneAntiEnable", kAnim, true),
      }};
  return desc;
}

// Reads the block at one time, narrowing `valid`; a missing block (only
// between loading and the repair) answers the declared defaults.
class BlockReader {
 public:
  BlockReader(IParamBlock2* pb, TimeValue t, Interval& valid) : pb_(pb), t_(t), valid_(valid) {}

  float Float(ParamID id) {
    float v = 0.0f;
    if (pb_ && pb_->GetValue(id, t_, v, valid_)) return v;
    const PB2Value& def = MainBlock().GetParamDef(id)->def;
    return def.Is<float>() ? def.Get<float>() : static_cast<float>(def.Get<int>());
  }
  int Int(ParamID id, int tabIndex = 0) {
    int v = 0;
    if (pb_ && pb_->GetValue(id, t_, v, valid_, tabIndex)) return v;
    return MainBlock().GetParamDef(id)->def.Get<int>();
  }
  bool Bool(ParamID id, int tabIndex = 0) { return Int(id, tabIndex) != 0; }
  float Percent(ParamID id) { return Float(id) * 0.01f; }
  Color Colour(ParamID id) {
    Color v;
    if (pb_ && pb_->GetValue(id, t_, v, valid_)) return v;
    return MainBlock().GetParamDef(id)->def.Get<Color>();
  }

 private:
  IParamBlock2* pb_;
  TimeValue t_;
  Interval& valid_;
};

// The working set without its maps and outline.
TarmatExtValues ReadValues(BlockReader in) {
  TarmatExtValues v;
  const int gradOffsetAmount = in.Int(kGradOffsetAmount);
  v.gradOffsetEnable = in.Bool(kGradOffsetEnable) && gradOffsetAmount != 0;
  v.gradOffsetAmount = static_cast<float>(gradOffsetAmount) * 0.01f;
  v.gradOffsetMapOfs = in.Float(kGradOffsetMapOfs);

  v.sblendEnable = in.Bool(kSblendEnable);
  v.sblendColor = in.Colour(kSblendColor);
  v.sblendMapOpacity = in.Percent(kSblendMapOpacity);
  v.sblendMapEnable = in.Bool(kSblendMapEnable);
  v.sblendBlend = in.Int(kSblendBlend);
  v.sblendAlpha = in.Percent(kSblendAlpha);

  v.lightcolEnable = in.Bool(kLightcolEnable);
  v.lightcolBlend = in.Int(kLightcolBlend);
  v.lightcolAlpha = in.Percent(kLightcolAlpha);
  for (int z = 0; z < kTarmatExtNumZones; ++z) v.lightcolZone[z] = in.Bool(kLightcolZone, z);
  v.lightcolReplaceEnable = in.Bool(kLightcolRelpaceEnable);
  v.lightcolReplaceColor = in.Colour(kLightcolRelpaceColor);
  v.lightcolReplaceAmount = in.Percent(kLightcolReplaceAmount);

  const float designAmount = in.Float(kHiZoneAmount);
  v.hiZoneEnable = in.Bool(kHiZoneEnable) && designAmount != 0.0f;
  v.designAmount = v.hiZoneEnable ? designAmount * 0.01f : 0.0f;
  v.designAngle = (in.Float(kHiZoneAngle) + kDesignAngleOffset) * kDegToRad;

  const float zoneAnti = in.Float(kZoneAnti);
  v.zoneAnti = in.Bool(kZoneAntiEnable) ? zoneAnti * kZoneAntiScale : 0.0f;
  return v;
}

std::string SlotText(int slot) {
  return "advanced-settings material slot " + std::to_string(slot);
}

class TarmatExtPostLoadCallback : public PostLoadCallback {
 public:
  // The graph reader keeps the material alive until the callback has run.
  explicit TarmatExtPostLoadCallback(TarmatExt* mtl) : mtl_(mtl) {}
  void proc(ILoad* iload) override { mtl_->RepairAfterLoad(iload); }

 private:
  TarmatExt* mtl_;
};

}  // namespace

ParamBlockDesc2* TarmatExtBlockDesc() {
  return &MainBlock();
}

void BindTarmatExtBlock(ClassDesc2* cd) {
  MainBlock().SetClassDesc(cd);
}

PluginClassDesc<TarmatExt>* GetTarmatExtDesc() {
  return PluginClassDesc<TarmatExt>::Get();
}

PluginClassDesc<TarmatExtHolder>* GetTarmatExtHolderDesc() {
  return PluginClassDesc<TarmatExtHolder>::Get();
}

// --- TarmatExt ----------------------------------------------------------------------

TarmatExt::TarmatExt(bool loading) : loading_(loading) {
  if (loading) return;
  GetTarmatExtDesc()->MakeAutoParamBlocks(this);
  ResetOutline();
  Interval valid = FOREVER;
  Update(0, valid);
}

IParamBlock2* TarmatExt::Block() const {
  auto* pb = dynamic_cast<IParamBlock2*>(refs_[kTarmatExtBlockRef]);
  return pb && pb->GetDesc() == TarmatExtBlockDesc() ? pb : nullptr;
}

QvPolygonCtrl* TarmatExt::Outline() const {
  return dynamic_cast<QvPolygonCtrl*>(refs_[kTarmatExtOutlineRef]);
}

void TarmatExt::Update(TimeValue t, Interval& valid) {
  if (updating_) return;  // reached again through a map cycle
  updating_ = true;
  lastTime_ = t;
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    IParamBlock2* pb = Block();
    TarmatExtValues v = ReadValues(BlockReader(pb, t, iv));
    v.gradOffsetMap = UsableMap(kTarmatExtGradOffsetMapRef);
    v.sblendMap = UsableMap(kTarmatExtShadowMapRef);
    for (Texmap* map : {v.gradOffsetMap, v.sblendMap}) {
      if (map) map->Update(t, iv);
    }
    if (!v.gradOffsetMap) v.gradOffsetEnable = false;
    v.outline = Outline();
    if (v.outline && v.outline->Block()) iv &= v.outline->Block()->GetValidity(t);
    values_ = v;
    ivalid_ = iv;
  }
  valid &= ivalid_;
  updating_ = false;
}

Interval TarmatExt::Validity(TimeValue t) {
  Interval v = FOREVER;
  if (IParamBlock2* pb = Block()) v &= pb->GetValidity(t);
  for (int ref : {kTarmatExtGradOffsetMapRef, kTarmatExtShadowMapRef}) {
    if (Texmap* m = UsableMap(ref)) v &= m->Validity(t);
  }
  if (QvPolygonCtrl* outline = Outline(); outline && outline->Block()) {
    v &= outline->Block()->GetValidity(t);
  }
  return v;
}

Texmap* TarmatExt::UsableMap(int ref) {
  auto* map = dynamic_cast<Texmap*>(refs_[ref]);
  if (!map || HasDependent(map)) return nullptr;
  return map;
}

void TarmatExt::Reset() {
  ReplaceReference(kTarmatExtBlockRef, CreateParameterBlock2(TarmatExtBlockDesc(), this));
  ReplaceReference(kTarmatExtGradOffsetMapRef, nullptr);
  ReplaceReference(kTarmatExtShadowMapRef, nullptr);
  ResetOutline();
  ivalid_.SetEmpty();
}

void TarmatExt::ResetOutline() {
  QvPolygonCtrl* outline = Outline();
  if (outline) {
    // A fresh block puts the control's own settings back to their defaults.
    outline->ReplaceReference(kShapeBlockRef, CreateParameterBlock2(ShapeBlockDesc(), outline));
  } else {
    outline = new QvPolygonCtrl();
    ReplaceReference(kTarmatExtOutlineRef, outline);
  }
  // Nodes evenly from angle 0 (corners, radius 1); the radius table follows.
  outline->Reset(kDesignOutlineNodes);
  ivalid_.SetEmpty();
}

// --- Sub-maps and references -----------------------------------------------------------

Texmap* TarmatExt::GetSubTexmap(int i) {
  if (i != 0 && i != 1) return nullptr;
  return dynamic_cast<Texmap*>(refs_[kTarmatExtGradOffsetMapRef + i]);
}

void TarmatExt::SetSubTexmap(int i, Texmap* m) {
  if (i == 0 || i == 1) ReplaceReference(kTarmatExtGradOffsetMapRef + i, m);
}

CStr TarmatExt::GetSubTexmapSlotName(int i) {
  const int id = i == 0 ? kStrSlotGradOffsetMap : (i == 1 ? kStrSlotShadowMap : -1);
  const char* text = id < 0 ? nullptr : FindString(id);
  return text ? text : "";
}

void TarmatExt::GetClassName(CStr& s) {
  s = GetTarmatExtDesc()->ClassName();
}

ReferenceTarget* TarmatExt::GetReference(int i) {
  return i >= 0 && i < kTarmatExtNumRefs ? refs_[i] : nullptr;
}

bool TarmatExt::Fits(int slot, ReferenceTarget* target) const {
  if (!target) return true;
  switch (slot) {
    case kTarmatExtBlockRef: {
      auto* pb = dynamic_cast<IParamBlock2*>(target);
      return pb && pb->GetDesc() == TarmatExtBlockDesc();
    }
    case kTarmatExtGradOffsetMapRef:
    case kTarmatExtShadowMapRef:
      return target->SuperClassID() == TEXMAP_CLASS_ID && dynamic_cast<Texmap*>(target);
    case kTarmatExtOutlineRef:
      return dynamic_cast<QvPolygonCtrl*>(target) != nullptr;
    default:
      return false;
  }
}

void TarmatExt::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kTarmatExtNumRefs) return;
  // A slot keeps what it had when offered the wrong kind of object (a
  // checked replace then fails), except while a saved material is being read.
  if (!loading_ && !Fits(i, target)) return;
  refs_[i] = target;
  ivalid_.SetEmpty();
  // The toon materials sharing these settings read them at their update:
  // tell them a map or the outline was swapped.
  if (!loading_) NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

RefResult TarmatExt::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                      RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* TarmatExt::Clone(RemapDir& remap) {
  auto* copy = new TarmatExt(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kTarmatExtNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  copy->loading_ = false;
  copy->SetName(GetName());
  // The working set points at maps and the outline, so the copy reads its own.
  Interval valid = FOREVER;
  copy->Update(lastTime_, valid);
  return copy;
}

// --- Saving and loading -------------------------------------------------------------------

IOResult TarmatExt::Save(ISave* isave) {
  return SaveName(isave);
}

IOResult TarmatExt::Load(ILoad* iload) {
  loading_ = true;
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<TarmatExtPostLoadCallback>(this));
  return IO_OK;
}

void TarmatExt::RepairAfterLoad(ILoad* iload) {
  HoldSuspend suspend;
  for (int i = 0; i < kTarmatExtNumRefs; ++i) {
    if (refs_[i] && !Fits(i, refs_[i])) {
      iload->LogWarning(SlotText(i) + " held an object of the wrong kind; it was dropped");
      ReplaceReference(i, nullptr);
    }
  }
  loading_ = false;
  if (!refs_[kTarmatExtBlockRef]) {
    ReplaceReference(kTarmatExtBlockRef, CreateParameterBlock2(TarmatExtBlockDesc(), this));
  }
  if (!Outline()) ResetOutline();
  ivalid_.SetEmpty();
  Interval valid = FOREVER;
  Update(0, valid);
}

// --- TarmatExtHolder -----------------------------------------------------------------------

void TarmatExtHolder::SetSubMtl(int i, Mtl* m) {
  if (i == 0) ReplaceReference(0, m);
}

void TarmatExtHolder::GetClassName(CStr& s) {
  s = GetTarmatExtHolderDesc()->ClassName();
}

void TarmatExtHolder::SetReference(int i, ReferenceTarget* target) {
  if (i != 0) return;
  auto* mtl = dynamic_cast<Mtl*>(target);
  if (target && !mtl) return;
  mtl_ = mtl;
}

ReferenceTarget* TarmatExtHolder::Clone(RemapDir& remap) {
  auto* copy = new TarmatExtHolder;
  BaseClone(this, copy, remap);
  copy->ReplaceReference(0, remap.CloneRef(mtl_));
  copy->SetName(GetName());
  return copy;
}

}  // namespace tarnis
