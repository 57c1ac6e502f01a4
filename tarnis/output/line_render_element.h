// LineFxRenderElement: the render element that receives the drawn lines
// alone. The line effect's compositing draws the visible and the hidden lines
// of each frame into every enabled element that asks for them (DrawsPass);
// after each frame the element clears its image to transparent black, or to
// its background colour with alpha 0, so the next frame's lines start on an
// empty image.
//
// Block "Tarnis Line render element parameters" (reference 0): the standard
// element settings (ids 0..2), then which lines to draw and the background.
#pragma once

#include "sdk/color.h"
#include "tarnis/line/frame/line_render_element_sink.h"
#include "tarnis/output/plugin_render_element.h"

class ClassDesc2;
class RenderGlobalContext;

namespace tarnis {

inline constexpr Class_ID kLineFxRenderElementClassID(0x54022257, 0x08140726);

enum LineElementParamID : ParamID {
  kLineElementLineEnable = 4,
  kLineElementHiddenLineEnable = 5,
  kLineElementBackgroundColorEnable = 6,
  kLineElementBackgroundColor = 7,
};

ParamBlockDesc2* LineFxRenderElementBlockDesc();
void BindLineFxRenderElementBlock(ClassDesc2* cd);

class LineFxRenderElement final : public PluginRenderElement, public LineElementSink {
 public:
  // A new element: its block at the defaults and its class name as the
  // element name. With `loading` the block slot stays empty for a saved
  // scene to fill. Either way the element listens for the end of each frame
  // until it is deleted.
  explicit LineFxRenderElement(bool loading = false);
  ~LineFxRenderElement() override;

  // Pass 0 (visible lines) follows lineEnable, pass 1 (hidden lines)
  // hiddenLineEnable; nothing else is drawn.
  bool DrawsPass(int pass) const override;

  // What the image is cleared to after a frame rendered at t: the
  // background colour with alpha 0 when it is enabled, else (0, 0, 0, 0).
  AColor ClearColor(TimeValue t) const;
  // The end of a frame: clears the image when `gc` is not a material-editor
  // render, the element is among its render elements, enabled and has an
  // image.
  void FrameDone(RenderGlobalContext* gc);

  // --- Object model ---------------------------------------------------------------
  Class_ID ClassID() override { return kLineFxRenderElementClassID; }
  void GetClassName(CStr& s) override;
  ReferenceTarget* Clone(RemapDir& remap) override;
};

}  // namespace tarnis
