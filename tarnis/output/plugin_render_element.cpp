#include "tarnis/output/plugin_render_element.h"

#include <memory>

#include "sdk/hold.h"
#include "sdk/save_load.h"

namespace tarnis {

namespace {

class ElementPostLoadCallback : public PostLoadCallback {
 public:
  // The graph reader keeps the element alive until the callback has run.
  explicit ElementPostLoadCallback(PluginRenderElement* element) : element_(element) {}
  void proc(ILoad* iload) override { element_->RepairAfterLoad(iload); }

 private:
  PluginRenderElement* element_;
};

}  // namespace

std::vector<ParamDef> StandardElementParams() {
  return {
      CheckboxParam(kElementEnabled, "enabled", 0, true),
      CheckboxParam(kElementFilterOn, "filterOn", 0, true),
      EditTextParam(kElementName, "elementName"),
  };
}

bool PluginRenderElement::IsEnabled() {
  return block_ ? block_->GetInt(kElementEnabled) != 0 : IRenderElement::IsEnabled();
}

void PluginRenderElement::SetEnabled(bool on) {
  if (block_) {
    block_->SetValue(kElementEnabled, 0, on);
  } else {
    IRenderElement::SetEnabled(on);
  }
}

const char* PluginRenderElement::ElementName() {
  if (!block_) return IRenderElement::ElementName();
  name_ = block_->GetStr(kElementName);
  return name_.c_str();
}

void PluginRenderElement::SetElementName(const char* name) {
  if (block_) {
    block_->SetValue(kElementName, 0, name ? name : "");
  } else {
    IRenderElement::SetElementName(name ? name : "");
  }
}

void PluginRenderElement::NameAfterClass() {
  CStr name;
  GetClassName(name);
  HoldSuspend suspend;  // part of making the element, not an edit of its own
  SetElementName(name.data());
}

ReferenceTarget* PluginRenderElement::GetReference(int i) {
  return i == kRenderElementBlockRef ? block_ : nullptr;
}

CStr PluginRenderElement::SubAnimName(int i) {
  return i == kRenderElementBlockRef ? CStr(desc_->InternalName().c_str()) : CStr("");
}

void PluginRenderElement::SetReference(int i, ReferenceTarget* target) {
  if (i != kRenderElementBlockRef) return;
  auto* pb = dynamic_cast<IParamBlock2*>(target);
  if (target && (!pb || pb->GetDesc() != desc_)) return;
  block_ = pb;
}

void PluginRenderElement::CloneInto(PluginRenderElement* copy, RemapDir& remap) {
  BaseClone(this, copy, remap);
  copy->ReplaceReference(kRenderElementBlockRef, remap.CloneRef(block_));
  copy->IRenderElement::SetEnabled(IRenderElement::IsEnabled());
  copy->IRenderElement::SetElementName(IRenderElement::ElementName());
  copy->SetOn(IsOn());
}

IOResult PluginRenderElement::Load(ILoad* iload) {
  iload->RegisterPostLoadCallback(std::make_unique<ElementPostLoadCallback>(this));
  return IO_OK;
}

void PluginRenderElement::RepairAfterLoad(ILoad* iload) {
  if (block_) return;
  HoldSuspend suspend;
  iload->LogWarning("a render element had lost its parameters; it starts from the defaults");
  ReplaceReference(kRenderElementBlockRef, CreateParameterBlock2(desc_, this));
  NameAfterClass();
}

}  // namespace tarnis
