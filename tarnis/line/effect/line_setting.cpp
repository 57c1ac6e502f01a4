#include "tarnis/line/effect/line_setting.h"

#include <memory>
#include <string>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/interface.h"
#include "sdk/param_builders.h"
#include "sdk/save_load.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/brush/brush_class_desc.h"
#include "tarnis/line/effect/line_setting_class_desc.h"
#include "tarnis/line/effect/line_setting_links.h"

namespace tarnis {

namespace {

// Turns a map that would make the setting contain itself into "no map".
class SelfMapAccessor : public PBAccessor {
 public:
  void Set(PB2Value& v, ReferenceMaker* owner, ParamID, int, TimeValue) override {
    auto* setting = dynamic_cast<LineSetting*>(owner);
    auto* const* map = v.GetIf<ReferenceTarget*>();
    if (setting && map && *map && setting->RefusesMap(*map)) v = nullptr;
  }
};

SelfMapAccessor gSelfMapAccessor;

class LineSettingPostLoad : public PostLoadCallback {
 public:
  explicit LineSettingPostLoad(LineSetting* setting) : setting_(setting) {}
  void proc(ILoad*) override { setting_->FinishLoad(); }

 private:
  LineSetting* setting_;
};

}  // namespace

ParamBlockDesc2* LineSettingBlockDesc() {
  constexpr uint32_t kAnim = P_ANIMATABLE;
  static ParamBlockDesc2 desc{
      AutoBlockHeader(0, "main", kSettingBlockRef),
      {
          ColorSwatchParam(kLineColor, "lineColor", kAnim, Color(0, 0, 0)),
          FloatSpinnerParam(kLineMapOpacity, "lineMapOpacity", TYPE_PCNT_FRAC, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          OwnedMapParam(kLineMap, "lineMap", kSettingLineMapRef, &gSelfMapAccessor),
          CheckboxParam(kLineMapEnable, "lineMapEnable", kAnim, true),
          PlainParam(kLineBlend, "lineBlend", TYPE_INT, 0, {0.0f, 15.0f}),
          FloatSpinnerParam(kLineAlpha, "lineAlpha", TYPE_PCNT_FRAC, kAnim, 100.0f, {0.0f, 100.0f}),
          FloatSpinnerParam(kLineSize, "lineSize", TYPE_FLOAT, kAnim, 1.0f, {0.1f, 100.0f}),
          FloatSpinnerParam(kLineStretch, "lineStretch", TYPE_PCNT_FRAC, kAnim, 0.0f,
                            {-100.0f, 100.0f}),
          FloatSpinnerParam(kLineAngle, "lineAngle", TYPE_ANGLE, kAnim, 0.0f, {-3600.0f, 3600.0f}),
          CheckboxParam(kLineSizeMapEnable, "lineSizeMapEnable", kAnim, true),
          FloatSpinnerParam(kLineSizeMapAmount, "lineSizeMapAmount", TYPE_PCNT_FRAC, kAnim, 100.0f,
                            {0.0f, 100.0f}),
          OwnedMapParam(kLineSizeMap, "lineSizeMap", kSettingSizeMapRef, &gSelfMapAccessor),
      }};
  return &desc;
}

void BindLineSettingBlock(ClassDesc2* cd) {
  LineSettingBlockDesc()->SetClassDesc(cd);
}

PluginClassDesc<LineSetting>* GetLineSettingDesc() {
  return PluginClassDesc<LineSetting>::Get();
}

LineSetting::LineSetting(bool loading) : loading_(loading) {
  if (loading) return;
  GetLineSettingDesc()->MakeAutoParamBlocks(this);
  ReplaceReference(kSettingBrushRef, static_cast<ReferenceTarget*>(GetBrushDesc()->Create(false)));
}

LineSetting::~LineSetting() = default;

IParamBlock2* LineSetting::Block() const {
  auto* pb = dynamic_cast<IParamBlock2*>(refs_[kSettingBlockRef]);
  return pb && pb->GetDesc() == LineSettingBlockDesc() ? pb : nullptr;
}

Brush* LineSetting::GetBrush() const {
  return dynamic_cast<Brush*>(refs_[kSettingBrushRef]);
}

Texmap* LineSetting::LineMap() const {
  return dynamic_cast<Texmap*>(refs_[kSettingLineMapRef]);
}

Texmap* LineSetting::SizeMap() const {
  return dynamic_cast<Texmap*>(refs_[kSettingSizeMapRef]);
}

bool LineSetting::RefusesMap(ReferenceTarget* map) {
  return map && (map == this || HasDependent(map));
}

// --- Evaluation -------------------------------------------------------------------

AColor LineSetting::EvalColor(ShadeContext& sc) {
  Brush* brush = GetBrush();
  return brush ? brush->EvalColor(sc) : AColor(0.0f, 0.0f, 0.0f, 1.0f);
}

float LineSetting::EvalMono(ShadeContext& sc) {
  Brush* brush = GetBrush();
  return brush ? brush->EvalMono(sc) : 0.0f;
}

Point3 LineSetting::EvalNormalPerturb(ShadeContext& sc) {
  Brush* brush = GetBrush();
  return brush ? brush->EvalNormalPerturb(sc) : Point3();
}

void LineSetting::Update(TimeValue t, Interval& valid) {
  if (Brush* brush = GetBrush()) brush->Update(t, valid);
}

Interval LineSetting::Validity(TimeValue t) {
  Interval v = FOREVER;
  if (IParamBlock2* pb = Block()) v &= pb->GetValidity(t);
  if (Brush* brush = GetBrush()) v &= brush->Validity(t);
  return v;
}

LineFrameValues LineSetting::PrepareFrame(TimeValue t) {
  LineFrameValues out;
  IParamBlock2* pb = Block();
  if (!pb) return out;
  Interval iv = FOREVER;
  out.size = pb->GetFloat(kLineSize, t);
  out.color = pb->GetColor(kLineColor, t);
  out.alpha = pb->GetFloat(kLineAlpha, t) * 0.01f;
  out.blend = pb->GetInt(kLineBlend, t);
  out.mapOpacity = pb->GetFloat(kLineMapOpacity, t) * 0.01f;
  Texmap* lineMap = LineMap();
  if (lineMap && pb->GetInt(kLineMapEnable, t) && !RefusesMap(lineMap)) {
    lineMap->Update(t, iv);
    out.lineMap = lineMap;
  }
  Texmap* sizeMap = SizeMap();
  const float amount = pb->GetFloat(kLineSizeMapAmount, t) * 0.01f;
  if (sizeMap && pb->GetInt(kLineSizeMapEnable, t) && amount != 0.0f && !RefusesMap(sizeMap)) {
    sizeMap->Update(t, iv);
    out.sizeMap = sizeMap;
    out.sizeMapAmount = amount;
  }
  if (Brush* brush = GetBrush()) brush->Update(t, iv);
  return out;
}

void LineSetting::Reset() {
  ReplaceReference(kSettingBlockRef, CreateParameterBlock2(LineSettingBlockDesc(), this));
  ReplaceReference(kSettingBrushRef, static_cast<ReferenceTarget*>(GetBrushDesc()->Create(false)));
  // A new block announces no parameter change: hand every value on again.
  for (IParamBlock2* typeBlock : TypeBlocksWithBase(this)) AttachBaseSetting(typeBlock, this);
  ivalid_.SetEmpty();
}

// --- Sub-maps and references --------------------------------------------------------

Texmap* LineSetting::GetSubTexmap(int i) {
  if (i < 0 || i >= 3) return nullptr;
  return dynamic_cast<Texmap*>(refs_[i + 1]);
}

void LineSetting::SetSubTexmap(int i, Texmap* m) {
  if (i == 1) {
    if (auto* brush = dynamic_cast<Brush*>(m)) ReplaceReference(kSettingBrushRef, brush);
    return;
  }
  if (i != 0 && i != 2) return;
  Texmap* map = RefusesMap(m) ? nullptr : m;
  // Through the block, so the change is announced and mirrored like an edit.
  if (IParamBlock2* pb = Block()) {
    pb->SetValue(i == 0 ? kLineMap : kLineSizeMap, GetCOREInterface()->GetTime(),
                 static_cast<ReferenceTarget*>(map));
  } else {
    ReplaceReference(i + 1, map);
  }
}

CStr LineSetting::GetSubTexmapSlotName(int i) {
  if (i == 0) return "LINE MAP";
  if (i == 1) return "ブラシエディター";
  if (i == 2) return "LINE SIZE MAP";
  return "";
}

void LineSetting::GetClassName(CStr& s) {
  // The object answers the brush's class name, as settings always have.
  s = GetBrushDesc()->ClassName();
}

ReferenceTarget* LineSetting::GetReference(int i) {
  return i >= 0 && i < kSettingNumRefs ? refs_[i] : nullptr;
}

Animatable* LineSetting::SubAnim(int i) {
  return GetReference(i);
}

CStr LineSetting::SubAnimName(int i) {
  switch (i) {
    case 0:
      return "LINE_SETTING_PARAMS_MAIN";
    case 1:
      return GetSubTexmapSlotName(0);
    case 2:
      return "BrushDetails";
    case 3:
      return GetSubTexmapSlotName(2);
    default:
      return "";
  }
}

void LineSetting::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kSettingNumRefs) return;
  refs_[i] = target;
  ivalid_.SetEmpty();
  if (i == kSettingBrushRef && target && !loading_) MirrorBrushAttach(this);
}

RefResult LineSetting::NotifyRefChanged(const Interval&, ReferenceTarget* target, PartID&,
                                        RefMessage message) {
  if (message != REFMSG_CHANGE && message != REFMSG_TARGET_DELETED) return REF_SUCCEED;
  ivalid_.SetEmpty();
  IParamBlock2* pb = Block();
  if (message == REFMSG_CHANGE && pb && target == pb && !loading_) {
    MirrorSettingChange(this, pb->LastNotifyParamID());
  }
  return REF_SUCCEED;
}

ReferenceTarget* LineSetting::Clone(RemapDir& remap) {
  auto* copy = new LineSetting(false);
  BaseClone(this, copy, remap);
  copy->SetName(GetName());
  copy->ReplaceReference(kSettingBlockRef, remap.CloneRef(refs_[kSettingBlockRef]));
  for (int i = kSettingLineMapRef; i < kSettingNumRefs; ++i) {
    if (refs_[i]) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  }
  return copy;
}

// --- Saving and loading ------------------------------------------------------------

IOResult LineSetting::Save(ISave* isave) {
  return SaveName(isave);
}

IOResult LineSetting::Load(ILoad* iload) {
  loading_ = true;
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<LineSettingPostLoad>(this));
  return IO_OK;
}

void LineSetting::FinishLoad() {
  HoldSuspend suspend;
  if (!Block()) {
    ReplaceReference(kSettingBlockRef, CreateParameterBlock2(LineSettingBlockDesc(), this));
  }
  if (!GetBrush()) {
    ReplaceReference(kSettingBrushRef,
                     static_cast<ReferenceTarget*>(GetBrushDesc()->Create(false)));
  }
  loading_ = false;
  ivalid_.SetEmpty();
}

}  // namespace tarnis
