#include "tarnis/line/brush/brush.h"

#include <atomic>
#include <memory>
#include <string>

#include "sdk/class_desc.h"
#include "sdk/curve_control.h"
#include "sdk/hold.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/line/brush/brush_class_desc.h"
#include "tarnis/line/brush/brush_post_load_callback.h"
#include "tarnis/common/random_tables.h"

namespace tarnis {

namespace {

uint64_t NextGeneration() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

// Settings-file sections of the user's default curves.
const char* CurveSection(int ref) {
  return ref == kBrushSizeCurveRef ? "BrushDampSizeCurveDefault" : "BrushDampAlphaCurveDefault";
}

std::string SlotText(int slot) {
  return "brush slot " + std::to_string(slot);
}

}  // namespace

PluginClassDesc<Brush>* GetBrushDesc() {
  return PluginClassDesc<Brush>::Get();
}

Brush::Brush(bool loading) : loading_(loading) {
  // The shared tables are filled with the first brush, not in the middle of
  // a render.
  RandomTableA();
  RandomTableB();
  values_.tip.Derive();
  if (loading) return;
  GetBrushDesc()->MakeAutoParamBlocks(this);
  NewCurve(kBrushSizeCurveRef);
  NewCurve(kBrushAlphaCurveRef);
  Interval valid = FOREVER;
  Update(0, valid);
}

Brush::~Brush() = default;

IParamBlock2* Brush::Block(int block) const {
  if (block < 0 || block >= kBrushNumBlocks) return nullptr;
  auto* pb = dynamic_cast<IParamBlock2*>(refs_[block]);
  return pb && pb->GetDesc() == BrushBlockDesc(block) ? pb : nullptr;
}

CurveControl* Brush::SizeCurve() const {
  return dynamic_cast<CurveControl*>(refs_[kBrushSizeCurveRef]);
}

CurveControl* Brush::AlphaCurve() const {
  return dynamic_cast<CurveControl*>(refs_[kBrushAlphaCurveRef]);
}

AColor Brush::EvalColor(ShadeContext& sc) {
  const float i = EvalMono(sc);
  return AColor(i, i, i, 1.0f);
}

float Brush::EvalMono(ShadeContext& sc) {
  const Point3 uvw = sc.UVW(1);
  return BrushTip(values_.tip, 0).Intensity(uvw.x, uvw.y);
}

// --- Working copy ---------------------------------------------------------------

void Brush::Update(TimeValue t, Interval& valid) {
  if (updating_) return;  // reached again through a map cycle
  updating_ = true;
  if (curvesPending_) ResetCurves();
  if (!ivalid_.InInterval(t)) {
    Interval iv = FOREVER;
    IParamBlock2* blocks[kBrushNumBlocks];
    for (int b = 0; b < kBrushNumBlocks; ++b) blocks[b] = Block(b);
    values_ = ReadBrushValues(blocks, t, iv);

    const int type = values_.tip.type;
    Texmap* tipMap = UsableMap(kBrushTipMapRef);
    if (tipMap && values_.tip.mapEnable && (type == kTipSoft || type == kTipDots)) {
      tipMap->Update(t, iv);
      values_.tip.map = tipMap;
      values_.tip.mapTime = t;
    }
    Texmap* noiseMap = UsableMap(kBrushNoiseMapRef);
    if (noiseMap && values_.noise.mapEnable) {
      noiseMap->Update(t, iv);
      values_.noise.map = noiseMap;
    }
    ivalid_ = iv;
    generation_ = NextGeneration();
  }
  valid &= ivalid_;
  updating_ = false;
}

Interval Brush::Validity(TimeValue t) {
  Interval v = FOREVER;
  for (int b = 0; b < kBrushNumBlocks; ++b) {
    if (IParamBlock2* pb = Block(b)) v &= pb->GetValidity(t);
  }
  for (int ref : {kBrushTipMapRef, kBrushNoiseMapRef}) {
    if (Texmap* m = UsableMap(ref)) v &= m->Validity(t);
  }
  return v;
}

Texmap* Brush::UsableMap(int ref) {
  auto* map = dynamic_cast<Texmap*>(refs_[ref]);
  if (!map || map == this || HasDependent(map)) return nullptr;
  return map;
}

void Brush::Reset() {
  for (int b = 0; b < kBrushNumBlocks; ++b) {
    ReplaceReference(b, CreateParameterBlock2(BrushBlockDesc(b), this));
  }
  ReplaceReference(kBrushTipMapRef, nullptr);
  ReplaceReference(kBrushNoiseMapRef, nullptr);
  curvesPending_ = true;
  ivalid_.SetEmpty();
}

// --- Curves ---------------------------------------------------------------------

void Brush::SetDefaultCurve(CurveControl& curve) {
  HoldSuspend suspend;
  curve.SetXRange(0.0f, 1.0f);
  curve.SetYRange(0.0f, 1.0f);
  curve.SetNumCurves(1);
  ICurve* c = curve.GetControlCurve(0);
  const int ends = CURVEP_CORNER | CURVEP_ENDPOINT;
  const CurvePoint points[] = {
      {.p = {0.0f, 0.0f}, .in = {0.0f, 0.0f}, .out = {0.1667f, 0.0f}, .flags = ends},
      {.p = {0.5f, 1.0f}, .in = {-0.2f, 0.0f}, .out = {0.2f, 0.0f}, .flags = CURVEP_BEZIER},
      {.p = {1.0f, 0.0f}, .in = {-0.1667f, 0.0f}, .out = {0.0f, 0.0f}, .flags = ends},
  };
  c->SetNumPts(3);
  for (int i = 0; i < 3; ++i) c->SetPoint(0, i, points[i], false, i == 2);
}

void Brush::LoadDefaultCurve(CurveControl& curve, int ref) {
  SetDefaultCurve(curve);
  HoldSuspend suspend;
  BrushIniHandler ini;
  // A curve read only in part is no one's shape: fall back to the built-in one.
  if (!ini.ReadCurve(CurveSection(ref), *curve.GetControlCurve(0))) SetDefaultCurve(curve);
}

void Brush::NewCurve(int ref) {
  auto* made = static_cast<ReferenceTarget*>(
      GetClassDirectory().CreateInstance(REF_MAKER_CLASS_ID, CURVE_CONTROL_CLASS_ID));
  auto* curve = dynamic_cast<CurveControl*>(made);
  TARNIS_CHECK(curve) << "the curve control class is not in the class directory";
  LoadDefaultCurve(*curve, ref);
  ReplaceReference(ref, curve);
}

void Brush::ResetCurves() {
  curvesPending_ = false;
  for (int ref : {kBrushSizeCurveRef, kBrushAlphaCurveRef}) {
    if (auto* curve = dynamic_cast<CurveControl*>(refs_[ref])) {
      LoadDefaultCurve(*curve, ref);
    } else {
      NewCurve(ref);
    }
  }
}

// --- Sub-maps and references ---------------------------------------------------------

Texmap* Brush::GetSubTexmap(int i) {
  if (i != 0 && i != 1) return nullptr;
  return dynamic_cast<Texmap*>(refs_[kBrushTipMapRef + i]);
}

void Brush::SetSubTexmap(int i, Texmap* m) {
  if (i == 0 || i == 1) ReplaceReference(kBrushTipMapRef + i, m);
}

CStr Brush::GetSubTexmapSlotName(int i) {
  if (i == 0) return "brushMapMap";
  if (i == 1) return "brushNoiseMap";
  return "";
}

void Brush::GetClassName(CStr& s) {
  s = GetBrushDesc()->ClassName();
}

ReferenceTarget* Brush::GetReference(int i) {
  return i >= 0 && i < kBrushNumRefs ? refs_[i] : nullptr;
}

bool Brush::Fits(int slot, ReferenceTarget* target) const {
  if (!target) return true;
  if (slot < kBrushNumBlocks) {
    auto* pb = dynamic_cast<IParamBlock2*>(target);
    return pb && pb->GetDesc() == BrushBlockDesc(slot);
  }
  if (slot == kBrushTipMapRef || slot == kBrushNoiseMapRef) {
    return target->SuperClassID() == TEXMAP_CLASS_ID && dynamic_cast<Texmap*>(target);
  }
  return dynamic_cast<CurveControl*>(target) != nullptr;
}

void Brush::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kBrushNumRefs) return;
  // A slot keeps what it had when offered the wrong kind of object (a
  // checked replace then fails), except while a saved brush is being read.
  if (!loading_ && !Fits(i, target)) return;
  refs_[i] = target;
  if (auto* curve = dynamic_cast<CurveControl*>(target)) curve->SetOwner(this);
  ivalid_.SetEmpty();
}

RefResult Brush::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&, RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* Brush::Clone(RemapDir& remap) {
  auto* copy = new Brush(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kBrushNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  copy->loading_ = false;
  copy->SetName(GetName());
  copy->seed_ = seed_;
  Interval valid = FOREVER;
  copy->Update(0, valid);
  return copy;
}

// --- Saving and loading ---------------------------------------------------------------

IOResult Brush::Save(ISave* isave) {
  return SaveName(isave);
}

IOResult Brush::Load(ILoad* iload) {
  loading_ = true;
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<BrushPostLoadCallback>(this));
  return IO_OK;
}

void Brush::RepairAfterLoad(ILoad* iload) {
  HoldSuspend suspend;
  ReferenceTarget* slot7 = refs_[kBrushNoiseMapRef];
  if (slot7 && slot7->SuperClassID() != TEXMAP_CLASS_ID) ShiftOldLayout(iload);
  FillMissing(iload);
  loading_ = false;
  ivalid_.SetEmpty();
  Interval valid = FOREVER;
  Update(0, valid);
}

void Brush::ShiftOldLayout(ILoad* iload) {
  if (refs_[kBrushNumRefs - 1]) {
    iload->LogWarning(SlotText(kBrushNumRefs - 1) +
                      ": an old brush held more references than there is room for; the last "
                      "one was dropped");
  }
  // From the top down, so every target is still held by its old slot when
  // it reaches its new one.
  for (int i = kBrushNumRefs - 1; i > kBrushBlockColorMod; --i) ReplaceReference(i, refs_[i - 1]);
  ReplaceReference(kBrushBlockColorMod,
                   CreateParameterBlock2(BrushBlockDesc(kBrushBlockColorMod), this));
}

void Brush::FillMissing(ILoad* iload) {
  for (int i = 0; i < kBrushNumRefs; ++i) {
    if (refs_[i] && !Fits(i, refs_[i])) {
      iload->LogWarning(SlotText(i) + " held an object of the wrong kind; it was dropped");
      ReplaceReference(i, nullptr);
    }
  }
  for (int b = 0; b < kBrushNumBlocks; ++b) {
    if (!refs_[b]) ReplaceReference(b, CreateParameterBlock2(BrushBlockDesc(b), this));
  }
  for (int ref : {kBrushSizeCurveRef, kBrushAlphaCurveRef}) {
    if (!refs_[ref]) NewCurve(ref);
  }
}

}  // namespace tarnis
