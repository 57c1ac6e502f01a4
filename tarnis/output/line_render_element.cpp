#include "tarnis/output/line_render_element.h"

#include "sdk/notify.h"
#include "sdk/render.h"
#include "tarnis/output/line_render_element_class_desc.h"

namespace tarnis {

namespace {

ParamBlockDesc2& ElementBlockDesc() {
  static ParamBlockDesc2 desc = [] {
    std::vector<ParamDef> params = StandardElementParams();
    params.push_back(CheckboxParam(kLineElementLineEnable, "lineEnable", 0, true));
    params.push_back(CheckboxParam(kLineElementHiddenLineEnable, "hiddenLineEnable", 0, true));
    params.push_back(
        CheckboxParam(kLineElementBackgroundColorEnable, "lineBackgroundColorEnable", 0, false));
    params.push_back(ColorSwatchParam(kLineElementBackgroundColor, "lineBackgroundColor",
                                      P_ANIMATABLE, Color(1.0f, 1.0f, 1.0f)));
    return ParamBlockDesc2(
        AutoBlockHeader(0, "Tarnis Line render element parameters", kRenderElementBlockRef),
        std::move(params));
  }();
  return desc;
}

void OnFrameDone(void* param, NotifyInfo* info) {
  auto* gc = static_cast<RenderGlobalContext*>(info ? info->callParam : nullptr);
  static_cast<LineFxRenderElement*>(param)->FrameDone(gc);
}

}  // namespace

ParamBlockDesc2* LineFxRenderElementBlockDesc() {
  return &ElementBlockDesc();
}

void BindLineFxRenderElementBlock(ClassDesc2* cd) {
  ElementBlockDesc().SetClassDesc(cd);
}

PluginClassDesc<LineFxRenderElement>* GetLineFxRenderElementDesc() {
  return PluginClassDesc<LineFxRenderElement>::Get();
}

LineFxRenderElement::LineFxRenderElement(bool loading)
    : PluginRenderElement(LineFxRenderElementBlockDesc()) {
  RegisterNotification(OnFrameDone, this, NOTIFY_POST_RENDERFRAME);
  if (loading) return;
  GetLineFxRenderElementDesc()->MakeAutoParamBlocks(this);
  NameAfterClass();
}

LineFxRenderElement::~LineFxRenderElement() {
  UnRegisterNotification(OnFrameDone, this, NOTIFY_POST_RENDERFRAME);
}

bool LineFxRenderElement::DrawsPass(int pass) const {
  IParamBlock2* pb = Block();
  if (pass == 0) return !pb || pb->GetInt(kLineElementLineEnable) != 0;
  if (pass == 1) return !pb || pb->GetInt(kLineElementHiddenLineEnable) != 0;
  return false;
}

AColor LineFxRenderElement::ClearColor(TimeValue t) const {
  IParamBlock2* pb = Block();
  if (!pb || pb->GetInt(kLineElementBackgroundColorEnable, t) == 0) {
    return AColor(0.0f, 0.0f, 0.0f, 0.0f);
  }
  return AColor(pb->GetColor(kLineElementBackgroundColor, t), 0.0f);
}

void LineFxRenderElement::FrameDone(RenderGlobalContext* gc) {
  if (!gc || gc->inMtlEdit || !IsEnabled()) return;
  Bitmap* bm = GetRenderBitmap();
  if (!bm) return;
  for (int i = 0; i < gc->NRenderElements(); ++i) {
    if (gc->GetRenderElement(i) == this) {
      bm->Fill(ClearColor(gc->time));
      return;
    }
  }
}

void LineFxRenderElement::GetClassName(CStr& s) {
  s = GetLineFxRenderElementDesc()->ClassName();
}

ReferenceTarget* LineFxRenderElement::Clone(RemapDir& remap) {
  auto* copy = new LineFxRenderElement(true);
  CloneInto(copy, remap);
  return copy;
}

}  // namespace tarnis
