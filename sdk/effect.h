// Render effects and render elements. An Effect is applied to the finished
// frame in the scene's effect-list order; a render element is an extra image
// of the frame (lines alone, a material component) that shading and effects
// write into beside the main image.
#pragma once

#include "sdk/bitmap.h"
#include "sdk/mtl.h"
#include "sdk/reference.h"
#include "sdk/render.h"

class SpecialFX : public ReferenceTarget {
 public:
  virtual CStr GetName() { CStr s; GetClassName(s); return s; }
  // Active at time t (on, and its own switch allows it).
  virtual bool Active(TimeValue t) { (void)t; return on_; }
  void SetOn(bool on) { on_ = on; }
  bool IsOn() const { return on_; }
  // Called once per render before the first frame / after the last.
  virtual void Update(TimeValue t, Interval& valid) { (void)t, (void)valid; }

 private:
  bool on_ = true;
};

class Effect : public SpecialFX {
 public:
  SClass_ID SuperClassID() override { return RENDER_EFFECT_CLASS_ID; }
  // Applies the effect to the frame's bitmap; `checkAbort` may be null.
  virtual void Apply(TimeValue t, Bitmap* bm, RenderGlobalContext* gc,
                     CheckAbortCallback* checkAbort) = 0;
};

class IRenderElement : public SpecialFX {
 public:
  SClass_ID SuperClassID() override { return RENDER_ELEMENT_CLASS_ID; }

  virtual void SetElementName(const char* name) { elementName_ = name; }
  virtual const char* ElementName() { return elementName_.data(); }
  virtual bool IsEnabled() { return enabled_; }
  virtual void SetEnabled(bool on) { enabled_ = on; }
  // The element's image for the current frame, made by the host.
  virtual void SetRenderBitmap(Bitmap* bm) { bitmap_ = bm; }
  virtual Bitmap* GetRenderBitmap() { return bitmap_; }
  // Index into ShadeOutput::elementVals during shading (-1: not shaded).
  void SetShadeOutputIndex(int i) { shadeIndex_ = i; }
  int ShadeOutputIndex() const { return shadeIndex_; }
  // Called per shaded sample: writes this element's value into sc.out.
  virtual void PostIllum(ShadeContext& sc, IllumParams& ip) { (void)sc, (void)ip; }
  // Whether the element's image is composited over the background.
  virtual bool AtmosphereApplied() { return false; }

 private:
  CStr elementName_;
  bool enabled_ = true;
  Bitmap* bitmap_ = nullptr;
  int shadeIndex_ = -1;
};
