// PluginRenderElement: what the plug-in's render elements share. Each keeps
// one parameter block in reference 0 whose first ids are the host's standard
// render-element settings (on, filtering, name); the host's element queries
// read and write them there, so a scene description or a saved scene that
// sets the block and the host's own switches always agree. The element's
// image is the host's render bitmap for the frame (SetRenderBitmap), which
// the host makes fresh for every frame.
#pragma once

#include <string>
#include <vector>

#include "sdk/effect.h"
#include "sdk/param_block.h"

namespace tarnis {

// The standard parameters every element block starts with. Id 3 (the
// element's own output bitmap) is not declared: the element's image is the
// host's render bitmap.
enum RenderElementParamID : ParamID {
  kElementEnabled = 0,
  kElementFilterOn = 1,
  kElementName = 2,
};

inline constexpr int kRenderElementBlockRef = 0;

// The definitions of ids 0..2 for an element block: both switches on, an
// empty name.
std::vector<ParamDef> StandardElementParams();

class PluginRenderElement : public IRenderElement {
 public:
  // The element's block, or null (only between loading and the repair).
  IParamBlock2* Block() const { return block_; }

  // --- IRenderElement -------------------------------------------------------------
  // Read and written through the block; without a block the host's own
  // switches answer. (The host has no filtering switch of its own: filterOn
  // lives in the block alone.)
  bool IsEnabled() override;
  void SetEnabled(bool on) override;
  const char* ElementName() override;
  void SetElementName(const char* name) override;

  // --- Object model ----------------------------------------------------------------
  int NumRefs() override { return 1; }
  ReferenceTarget* GetReference(int i) override;
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override;
  // Registers the repair that gives an element without its block a default
  // one after loading.
  IOResult Load(ILoad* iload) override;
  // Makes a default block when the slot is empty after loading, with a
  // warning.
  void RepairAfterLoad(ILoad* iload);

 protected:
  // `desc` is the class's block descriptor; the caller makes the block
  // (MakeAutoParamBlocks) unless the element is about to be loaded.
  explicit PluginRenderElement(ParamBlockDesc2* desc) : desc_(desc) {}
  // Gives a new element its class name as its element name.
  void NameAfterClass();
  // Puts a clone of the block into `copy` and copies the base switches.
  void CloneInto(PluginRenderElement* copy, RemapDir& remap);
  // The slot takes only a block of the class's descriptor.
  void SetReference(int i, ReferenceTarget* target) override;

 private:
  ParamBlockDesc2* desc_;
  IParamBlock2* block_ = nullptr;
  std::string name_;  // the text ElementName hands out
};

}  // namespace tarnis
