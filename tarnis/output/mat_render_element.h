// MatRenderElement: the render element that receives, for the samples of one
// material id or one object id, the toon material's zone colours and
// coverage. Every shaded sample first gets the element's background with
// alpha 0 (PostIllum, which the host's standard material calls at the end of
// its shading; a toon material's base pass passes it on); the toon material
// then hands its own samples to the element (ReceiveToonSample), which keeps
// the zones, highlight and strokes its switches select.
//
// Block "Tarnis Material render element parameters" (reference 0): the
// standard element settings (ids 0..2), then the selection, the background,
// the colour and alpha switches and the alpha exceptions.
#pragma once

#include "tarnis/material/tarmat.h"
#include "tarnis/output/mat_element_value.h"
#include "tarnis/output/plugin_render_element.h"

class ClassDesc2;

namespace tarnis {

inline constexpr Class_ID kMatRenderElementClassID(0x54022257, 0x08140115);

// Parameters after the standard ones, in the order the block declares them
// (ids 24 and 25 sit after 10 and 14).
enum MatElementParamID : ParamID {
  kMatElementSelectType = 4,
  kMatElementMatID = 5,
  kMatElementObjID = 6,
  kMatElementBackgroundColorEnable = 7,
  kMatElementBackgroundColor = 8,
  kMatElementColorHi = 9,
  kMatElementColorStroke = 10,
  kMatElementColorReflec = 24,
  kMatElementColorZone1 = 11,  // 11..14: zones 1..4
  kMatElementColorZoneBG = 25,
  kMatElementAlphaHi = 15,
  kMatElementAlphaZone1 = 16,  // 16..19: zones 1..4
  kMatElementExaMatidEnable = 20,
  kMatElementExaMatid = 21,
  kMatElementExaObjidEnable = 22,
  kMatElementExaObjid = 23,
};

ParamBlockDesc2* MatRenderElementBlockDesc();
void BindMatRenderElementBlock(ClassDesc2* cd);

class MatRenderElement final : public PluginRenderElement, public ToonSampleReceiver {
 public:
  // A new element: its block at the defaults and its class name as the
  // element name. With `loading` the block slot stays empty for a saved
  // scene to fill.
  explicit MatRenderElement(bool loading = false);
  ~MatRenderElement() override;

  // The block's values at t (the defaults without a block). Block reads are
  // safe on many threads at once.
  MatElementSettings Settings(TimeValue t);
  // Reads the block once for the frame about to be shaded, so that samples
  // of that frame need not; FrameDone forgets it. Called on the thread that
  // runs the render, before and after the frame's samples.
  void FrameStart(TimeValue t);
  void FrameDone();

  // Writes the background with alpha 0 into the sample's slot for this
  // element.
  void PostIllum(ShadeContext& sc, IllumParams& ip) override;
  // Writes the element's value for a toon sample into slot `slot`: the
  // combined zones when the sample is the element's, the background with
  // alpha 0 otherwise.
  void ReceiveToonSample(ShadeContext& sc, int slot, const ToonSample& sample) override;

  // --- Object model ---------------------------------------------------------------
  Class_ID ClassID() override { return kMatRenderElementClassID; }
  void GetClassName(CStr& s) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
  // A changed block drops the frame's settings.
  RefResult NotifyRefChanged(const Interval& changeInt, ReferenceTarget* target, PartID& partID,
                             RefMessage message) override;

 private:
  // The settings at the frame's time, or the block's values per sample.
  MatElementSettings SettingsFor(TimeValue t);

  bool frameCached_ = false;
  TimeValue frameTime_ = 0;
  MatElementSettings frame_;
};

}  // namespace tarnis
