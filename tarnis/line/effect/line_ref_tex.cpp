#include "tarnis/line/effect/line_ref_tex.h"

#include <memory>
#include <string>
#include <vector>

#include "sdk/class_desc.h"
#include "sdk/hold.h"
#include "sdk/param_builders.h"
#include "sdk/save_load.h"
#include "tarnis/common/blend_color.h"
#include "tarnis/common/ini_handler.h"
#include "tarnis/line/effect/line_ref_context.h"
#include "tarnis/line/effect/line_ref_tex_class_desc.h"
#include "tarnis/resources/string_ids.h"
#include "tarnis/resources/string_table.h"

namespace tarnis {

namespace {

constexpr uint32_t kAnim = P_ANIMATABLE;

ParamDef Percent(ParamID id, const char* name, float def, float max = 100.0f) {
  return FloatSpinnerParam(id, name, TYPE_FLOAT, kAnim, def, {0.0f, max});
}

std::vector<std::string> blendNames() {
  std::vector<std::string> names;
  for (int i = 0; i < kNumBlendModes; ++i) {
    const char* name = BlendModeName(i);
    names.emplace_back(name ? name : "");
  }
  return names;
}

ParamBlockDesc2& mainBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kRefTexBlockMain, "main", kRefTexMainRef),
      {
          OwnedMapParam(kRefTexBaseMap, "baseMap", kRefTexBaseMapRef),
          Percent(kRefTexSizeScaling, "sizeScaling", 100.0f, 1000.0f),
          CheckboxParam(kRefTexLineBlendEnable, "lineBlendEnable", kAnim, false),
          IntComboParam(kRefTexLineBlendType, "lineBlendType", 0, 0, {0, kNumBlendModes - 1},
                        blendNames()),
          Percent(kRefTexLineBlendAlpha, "lineBlendAlpha", 100.0f),
          ColorSwatchParam(kRefTexLineColorReplaceColor, "lineColorReplaceColor", kAnim,
                           Color(0.0f, 0.0f, 0.0f)),
          CheckboxParam(kRefTexLineColorReplaceEnable, "lineColorReplaceEnable", kAnim, false),
          Percent(kRefTexLineColorReplaceAmount, "lineColorReplaceAmount", 100.0f),
          CheckboxParam(kRefTexEdgeObjectDisable, "edgeObjectDisable", kAnim, false),
          CheckboxParam(kRefTexEdgeNormalDisable, "edgeNormalDisable", kAnim, false),
          CheckboxParam(kRefTexEdgeMaterialDisable, "edgeMaterialDisable", kAnim, false),
          CheckboxParam(kRefTexEdgeSmoothDisable, "edgeSmoothDisable", kAnim, false),
          CheckboxParam(kRefTexEdgeISectDisable, "edgeISectDisable", kAnim, false),
      }};
  return desc;
}

ParamBlockDesc2& colorModBlock() {
  static ParamBlockDesc2 desc{
      AutoBlockHeader(kRefTexBlockColorMod, "color_mod", kRefTexColorModRef),
      {
          IntComboParam(kRefTexColorModType, "colorModType", 0, 0, {0, 1}, {"RGB", "HSV"}),
          Percent(kRefTexColorModR, "colorModR", 6.0f),
          Percent(kRefTexColorModG, "colorModG", 6.0f),
          Percent(kRefTexColorModB, "colorModB", 6.0f),
          CheckboxParam(kRefTexLineColorModEnable, "lineColorModEnable", kAnim, false),
      }};
  return desc;
}

class RepairCallback : public PostLoadCallback {
 public:
  explicit RepairCallback(LineRefTex* map) : map_(map) {}
  void proc(ILoad* iload) override { map_->RepairAfterLoad(iload); }

 private:
  LineRefTex* map_;
};

// A new host cubic map, or null where the host offers none.
Texmap* newBaseMap() {
  return NewDefaultStdCubic();
}

}  // namespace

ParamBlockDesc2* LineRefTexBlockDesc(int block) {
  TARNIS_CHECK(block == kRefTexBlockMain || block == kRefTexBlockColorMod)
      << "the reflection map has no block " << block;
  return block == kRefTexBlockMain ? &mainBlock() : &colorModBlock();
}

void BindLineRefTexBlocks(ClassDesc2* cd) {
  mainBlock().SetClassDesc(cd);
  colorModBlock().SetClassDesc(cd);
}

void LoadLineRefTexDefaults(IniHandler& ini) {
  ini.LoadDefaults(kLineRefTexColorRangeSection, colorModBlock());
}

PluginClassDesc<LineRefTex>* GetLineRefTexDesc() {
  return PluginClassDesc<LineRefTex>::Get();
}

LineRefTex::LineRefTex(bool loading) : loading_(loading) {
  if (loading) return;
  GetLineRefTexDesc()->MakeAutoParamBlocks(this);
  if (Texmap* base = newBaseMap()) ReplaceReference(kRefTexBaseMapRef, base);
}

LineRefTex::~LineRefTex() = default;

IParamBlock2* LineRefTex::MainBlock() const {
  return dynamic_cast<IParamBlock2*>(refs_[kRefTexMainRef]);
}

IParamBlock2* LineRefTex::ColorModBlock() const {
  return dynamic_cast<IParamBlock2*>(refs_[kRefTexColorModRef]);
}

Texmap* LineRefTex::BaseMap() const {
  return dynamic_cast<Texmap*>(refs_[kRefTexBaseMapRef]);
}

Texmap* LineRefTex::UsableBase() const {
  Texmap* base = BaseMap();
  if (!base || base == this || const_cast<LineRefTex*>(this)->HasDependent(base)) return nullptr;
  return base;
}

LineDrawOptions LineRefTex::DrawOptions(TimeValue t) const {
  LineDrawOptions o;
  if (IParamBlock2* pb = MainBlock()) {
    o.sizeScale = pb->GetFloat(kRefTexSizeScaling, t) * 0.01f;
    o.alphaOverride = pb->GetInt(kRefTexLineBlendEnable, t) != 0;
    o.alpha = pb->GetFloat(kRefTexLineBlendAlpha, t) * 0.01f;
    o.blend = pb->GetInt(kRefTexLineBlendType, t);
    o.tintEnable = pb->GetInt(kRefTexLineColorReplaceEnable, t) != 0;
    o.tintColor = pb->GetColor(kRefTexLineColorReplaceColor, t);
    o.tintAmount = pb->GetFloat(kRefTexLineColorReplaceAmount, t) * 0.01f;
    o.disableObject = pb->GetInt(kRefTexEdgeObjectDisable, t) != 0;
    o.disableNormal = pb->GetInt(kRefTexEdgeNormalDisable, t) != 0;
    o.disableMaterial = pb->GetInt(kRefTexEdgeMaterialDisable, t) != 0;
    o.disableSmooth = pb->GetInt(kRefTexEdgeSmoothDisable, t) != 0;
    o.disableIntersection = pb->GetInt(kRefTexEdgeISectDisable, t) != 0;
  }
  if (IParamBlock2* pb = ColorModBlock()) {
    o.colorModEnable = pb->GetInt(kRefTexLineColorModEnable, t) != 0;
    o.colorModMode = pb->GetInt(kRefTexColorModType, t);
    o.colorModValues = Point3(pb->GetFloat(kRefTexColorModR, t), pb->GetFloat(kRefTexColorModG, t),
                              pb->GetFloat(kRefTexColorModB, t)) *
                       0.01f;
  }
  return o;
}

void LineRefTex::SaveColorRangeAsDefault() {
  IParamBlock2* pb = ColorModBlock();
  if (!pb) return;
  LineRefTexIniHandler ini;
  SaveAsDefault(ini, kLineRefTexColorRangeSection, *pb);
}

// --- Texmap ----------------------------------------------------------------------------

AColor LineRefTex::EvalColor(ShadeContext& sc) {
  Texmap* base = UsableBase();
  return base ? base->EvalColor(sc) : AColor(0.0f, 0.0f, 0.0f, 0.0f);
}

float LineRefTex::EvalMono(ShadeContext& sc) {
  Texmap* base = UsableBase();
  return base ? base->EvalMono(sc) : 0.0f;
}

Point3 LineRefTex::EvalNormalPerturb(ShadeContext& sc) {
  Texmap* base = UsableBase();
  return base ? base->EvalNormalPerturb(sc) : Point3();
}

UVGen* LineRefTex::GetTheUVGen() {
  Texmap* base = UsableBase();
  return base ? base->GetTheUVGen() : nullptr;
}

int LineRefTex::GetMapChannel() {
  Texmap* base = UsableBase();
  return base ? base->GetMapChannel() : 1;
}

// --- MtlBase ---------------------------------------------------------------------------

void LineRefTex::Update(TimeValue t, Interval& valid) {
  if (!ivalid_.InInterval(t)) {
    ivalid_ = FOREVER;
    if (Texmap* base = UsableBase()) base->Update(t, ivalid_);
  }
  valid &= ivalid_;
}

void LineRefTex::Reset() {
  // A reset map is whole: its slots are strict again.
  loading_ = false;
  ReplaceReference(kRefTexMainRef, CreateParameterBlock2(&mainBlock(), this));
  ReplaceReference(kRefTexColorModRef, CreateParameterBlock2(&colorModBlock(), this));
  if (Texmap* base = BaseMap()) {
    base->Reset();
  } else if (Texmap* made = newBaseMap()) {
    ReplaceReference(kRefTexBaseMapRef, made);
  }
  ivalid_.SetEmpty();
}

Interval LineRefTex::Validity(TimeValue t) {
  Interval valid = FOREVER;
  Update(t, valid);
  return valid;
}

uint32_t LineRefTex::Requirements(int subMtlNum) {
  Texmap* base = UsableBase();
  return base ? base->Requirements(subMtlNum) : 0;
}

void LineRefTex::LocalMappingsRequired(int subMtlNum, std::vector<int>& channels) {
  if (Texmap* base = UsableBase()) base->LocalMappingsRequired(subMtlNum, channels);
}

bool LineRefTex::BuildMaps(TimeValue t, RenderMapsContext& rmc) {
  Texmap* base = UsableBase();
  if (!base) return true;
  const LineDrawOptions options = DrawOptions(t);
  LineRefContext wrapped(rmc, &options);
  const bool built = base->BuildMaps(t, wrapped);
  linePassSeconds_ += wrapped.LineSeconds();
  return built;
}

Texmap* LineRefTex::GetSubTexmap(int i) {
  return i == 0 ? BaseMap() : nullptr;
}

void LineRefTex::SetSubTexmap(int i, Texmap* m) {
  if (i == 0) ReplaceReference(kRefTexBaseMapRef, m);
}

CStr LineRefTex::GetSubTexmapSlotName(int i) {
  return i == 0 ? kRefTexBaseMapSlotName : "";
}

// --- Object model ----------------------------------------------------------------------

void LineRefTex::GetClassName(CStr& s) {
  s = GetLineRefTexDesc()->ClassName();
}

ReferenceTarget* LineRefTex::GetReference(int i) {
  return i >= 0 && i < kRefTexNumRefs ? refs_[i] : nullptr;
}

CStr LineRefTex::SubAnimName(int i) {
  switch (i) {
    case kRefTexMainRef:
      return GetString(kStrRefTexBasicRollout);
    case kRefTexColorModRef:
      return GetString(kStrRefTexColorRangeRollout);
    case kRefTexBaseMapRef:
      return GetSubTexmapSlotName(0);
    default:
      return "";
  }
}

bool LineRefTex::Fits(int slot, ReferenceTarget* target) const {
  if (!target) return true;
  if (slot == kRefTexMainRef || slot == kRefTexColorModRef) {
    auto* pb = dynamic_cast<IParamBlock2*>(target);
    return pb && pb->GetDesc() == LineRefTexBlockDesc(slot);
  }
  return slot == kRefTexBaseMapRef && target->SuperClassID() == TEXMAP_CLASS_ID &&
         dynamic_cast<Texmap*>(target);
}

void LineRefTex::SetReference(int i, ReferenceTarget* target) {
  if (i < 0 || i >= kRefTexNumRefs) return;
  // While a saved map is read a slot takes anything: an old map holds its
  // base map in slot 1 until the repair moves it.
  if (!loading_ && !Fits(i, target)) return;
  refs_[i] = target;
  ivalid_.SetEmpty();
}

RefResult LineRefTex::NotifyRefChanged(const Interval&, ReferenceTarget*, PartID&,
                                       RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_TARGET_DELETED) ivalid_.SetEmpty();
  return REF_SUCCEED;
}

ReferenceTarget* LineRefTex::Clone(RemapDir& remap) {
  auto* copy = new LineRefTex(true);
  BaseClone(this, copy, remap);
  for (int i = 0; i < kRefTexNumRefs; ++i) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
  copy->loading_ = false;
  copy->SetName(GetName());
  return copy;
}

IOResult LineRefTex::Load(ILoad* iload) {
  loading_ = true;
  if (LoadName(iload) != IO_OK) return IO_ERROR;
  iload->RegisterPostLoadCallback(std::make_unique<RepairCallback>(this));
  return IO_OK;
}

void LineRefTex::RepairAfterLoad(ILoad* iload) {
  HoldSuspend suspend;
  int blocks = 0;
  for (ReferenceTarget* r : refs_) blocks += dynamic_cast<IParamBlock2*>(r) ? 1 : 0;
  if (blocks < 2) {
    // Saved before the colour-range block: every slot moves one up, from
    // the last down to slot 1, and slot 1 gets the new block.
    for (int i = kRefTexNumRefs - 1; i >= 2; --i) ReplaceReference(i, refs_[i - 1]);
    ReplaceReference(kRefTexColorModRef, CreateParameterBlock2(&colorModBlock(), this));
  }
  for (int i = 0; i < kRefTexNumRefs; ++i) {
    if (refs_[i] && !Fits(i, refs_[i])) {
      iload->LogWarning("the reflection map's slot " + std::to_string(i) +
                        " held an object of the wrong kind; it was dropped");
      ReplaceReference(i, nullptr);
    }
  }
  if (!refs_[kRefTexMainRef]) {
    ReplaceReference(kRefTexMainRef, CreateParameterBlock2(&mainBlock(), this));
  }
  if (!refs_[kRefTexColorModRef]) {
    ReplaceReference(kRefTexColorModRef, CreateParameterBlock2(&colorModBlock(), this));
  }
  loading_ = false;
  ivalid_.SetEmpty();
}

}  // namespace tarnis
