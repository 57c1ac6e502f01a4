#include "tarnis/output/mat_render_element.h"

#include <algorithm>
#include <string>

#include "sdk/inode.h"
#include "sdk/notify.h"
#include "sdk/render.h"
#include "tarnis/output/mat_render_element_class_desc.h"

namespace tarnis {

namespace {

constexpr float kMaxMaterialID = 15.0f;
constexpr float kMaxObjectID = 65535.0f;

std::string Numbered(const char* name, int n) {
  return name + std::to_string(n);
}

ParamBlockDesc2& ElementBlockDesc() {
  static ParamBlockDesc2 desc = [] {
    std::vector<ParamDef> p = StandardElementParams();
    p.push_back({.id = kMatElementSelectType,
                 .internalName = "selectType",
                 .type = TYPE_INT,
                 .def = 0,
                 .range = {0.0f, 1.0f},
                 .ui = {.control = ParamControl::kRadio, .items = {"MaterialID", "ObjectID"}}});
    p.push_back(IntSpinnerParam(kMatElementMatID, "matID", 0, 1, {0.0f, kMaxMaterialID}));
    p.push_back(IntSpinnerParam(kMatElementObjID, "objID", 0, 0, {0.0f, kMaxObjectID}));
    p.push_back(CheckboxParam(kMatElementBackgroundColorEnable, "backgroundColorEnable", 0, false));
    p.push_back(ColorSwatchParam(kMatElementBackgroundColor, "backgroundColor", P_ANIMATABLE,
                                 Color(1.0f, 1.0f, 1.0f)));
    p.push_back(CheckboxParam(kMatElementColorHi, "colorHi", 0, true));
    p.push_back(CheckboxParam(kMatElementColorStroke, "colorStroke", 0, true));
    p.push_back(CheckboxParam(kMatElementColorReflec, "colorReflec", 0, true));
    for (int z = 0; z < kToonZones; ++z) {
      p.push_back(CheckboxParam(kMatElementColorZone1 + z, Numbered("colorZone", z + 1), 0, true));
    }
    p.push_back(CheckboxParam(kMatElementColorZoneBG, "colorZoneBG", 0, true));
    p.push_back(CheckboxParam(kMatElementAlphaHi, "alphaHi", 0, true));
    for (int z = 0; z < kToonZones; ++z) {
      p.push_back(CheckboxParam(kMatElementAlphaZone1 + z, Numbered("alphaZone", z + 1), 0, true));
    }
    p.push_back(CheckboxParam(kMatElementExaMatidEnable, "exaMatidEnable", 0, false));
    p.push_back(IntSpinnerParam(kMatElementExaMatid, "exaMatid", 0, 0, {0.0f, kMaxMaterialID}));
    p.push_back(CheckboxParam(kMatElementExaObjidEnable, "exaObjidEnable", 0, false));
    p.push_back(IntSpinnerParam(kMatElementExaObjid, "exaObjid", 0, 0, {0.0f, kMaxObjectID}));
    return ParamBlockDesc2(
        AutoBlockHeader(0, "Tarnis Material render element parameters", kRenderElementBlockRef),
        std::move(p));
  }();
  return desc;
}

// Who a shaded sample belongs to.
MatElementIdentity IdentityOf(ShadeContext& sc) {
  MatElementIdentity id;
  id.materialID = sc.mtlNum;
  if (INode* node = sc.Node()) {
    id.objectID = node->GetGBufID();
    id.visibility = std::clamp(node->GetVisibility(sc.CurTime()), 0.0f, 1.0f);
  }
  return id;
}

// Before a frame is shaded the elements of its render read their blocks
// once; after it they forget what they read.
void OnFrameStart(void* param, NotifyInfo* info) {
  auto* gc = info ? static_cast<RenderGlobalContext*>(info->callParam) : nullptr;
  if (gc) static_cast<MatRenderElement*>(param)->FrameStart(gc->time);
}

void OnFrameDone(void* param, NotifyInfo*) {
  static_cast<MatRenderElement*>(param)->FrameDone();
}

bool ValidSlot(const ShadeContext& sc, int slot) {
  return slot >= 0 && slot < std::min(sc.out.nElements, kMaxRenderElements);
}

}  // namespace

ParamBlockDesc2* MatRenderElementBlockDesc() {
  return &ElementBlockDesc();
}

void BindMatRenderElementBlock(ClassDesc2* cd) {
  ElementBlockDesc().SetClassDesc(cd);
}

PluginClassDesc<MatRenderElement>* GetMatRenderElementDesc() {
  return PluginClassDesc<MatRenderElement>::Get();
}

MatRenderElement::MatRenderElement(bool loading)
    : PluginRenderElement(MatRenderElementBlockDesc()) {
  RegisterNotification(OnFrameStart, this, NOTIFY_PRE_RENDERFRAME);
  RegisterNotification(OnFrameDone, this, NOTIFY_POST_RENDERFRAME);
  if (loading) return;
  GetMatRenderElementDesc()->MakeAutoParamBlocks(this);
  NameAfterClass();
}

MatElementSettings MatRenderElement::Settings(TimeValue t) {
  MatElementSettings s;
  IParamBlock2* pb = Block();
  if (!pb) return s;
  auto on = [&](ParamID id) { return pb->GetInt(id, t) != 0; };
  s.selectType = pb->GetInt(kMatElementSelectType, t);
  s.matID = pb->GetInt(kMatElementMatID, t);
  s.objID = pb->GetInt(kMatElementObjID, t);
  s.backgroundColorEnable = on(kMatElementBackgroundColorEnable);
  s.backgroundColor = pb->GetColor(kMatElementBackgroundColor, t);
  s.colorHi = on(kMatElementColorHi);
  s.colorStroke = on(kMatElementColorStroke);
  s.colorReflec = on(kMatElementColorReflec);
  for (int z = 0; z < kToonZones; ++z) {
    s.colorZone[z] = on(kMatElementColorZone1 + z);
    s.alphaZone[z] = on(kMatElementAlphaZone1 + z);
  }
  s.colorZoneBG = on(kMatElementColorZoneBG);
  s.alphaHi = on(kMatElementAlphaHi);
  s.exaMatidEnable = on(kMatElementExaMatidEnable);
  s.exaMatid = pb->GetInt(kMatElementExaMatid, t);
  s.exaObjidEnable = on(kMatElementExaObjidEnable);
  s.exaObjid = pb->GetInt(kMatElementExaObjid, t);
  return s;
}

MatRenderElement::~MatRenderElement() {
  UnRegisterNotification(OnFrameStart, this, NOTIFY_PRE_RENDERFRAME);
  UnRegisterNotification(OnFrameDone, this, NOTIFY_POST_RENDERFRAME);
}

void MatRenderElement::FrameStart(TimeValue t) {
  frame_ = Settings(t);
  frameTime_ = t;
  frameCached_ = true;
}

void MatRenderElement::FrameDone() {
  frameCached_ = false;
}

MatElementSettings MatRenderElement::SettingsFor(TimeValue t) {
  return frameCached_ && t == frameTime_ ? frame_ : Settings(t);
}

RefResult MatRenderElement::NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target,
                                             PartID& partID, RefMessage message) {
  frameCached_ = false;
  return PluginRenderElement::NotifyRefChanged(changeInt, target, partID, message);
}

void MatRenderElement::PostIllum(ShadeContext& sc, IllumParams&) {
  const int slot = ShadeOutputIndex();
  if (!ValidSlot(sc, slot)) return;
  // Every shaded sample comes here: read only the background.
  MatElementSettings s;
  if (frameCached_ && sc.CurTime() == frameTime_) {
    s = frame_;
  } else if (IParamBlock2* pb = Block()) {
    s.backgroundColorEnable = pb->GetInt(kMatElementBackgroundColorEnable, sc.CurTime()) != 0;
    s.backgroundColor = pb->GetColor(kMatElementBackgroundColor, sc.CurTime());
  }
  sc.out.elementVals[slot] = ElementBackgroundValue(s);
}

void MatRenderElement::ReceiveToonSample(ShadeContext& sc, int slot, const ToonSample& sample) {
  if (!ValidSlot(sc, slot)) return;
  const MatElementSettings s = SettingsFor(sc.CurTime());
  const MatElementIdentity id = IdentityOf(sc);
  ZoneWeights c;
  sc.out.elementVals[slot] = ElementZoneWeights(s, id, sample.weights, c)
                                 ? ElementValue(s, id, sample, c)
                                 : ElementBackgroundValue(s);
}

void MatRenderElement::GetClassName(CStr& s) {
  s = GetMatRenderElementDesc()->ClassName();
}

ReferenceTarget* MatRenderElement::Clone(RemapDir& remap) {
  auto* copy = new MatRenderElement(true);
  CloneInto(copy, remap);
  return copy;
}

}  // namespace tarnis
