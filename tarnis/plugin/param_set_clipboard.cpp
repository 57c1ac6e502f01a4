#include "tarnis/plugin/param_set_clipboard.h"

#include "sdk/check.h"
#include "sdk/curve_control.h"
#include "tarnis/line/brush/brush.h"
#include "tarnis/line/effect/line_set.h"
#include "tarnis/stroke/stroke_map.h"

namespace tarnis {

CaPPanel BrushClipboardPanel(Brush& brush, CaPKind kind) {
  CaPPanel panel;
  panel.owner = &brush;
  panel.kind = kind;
  switch (kind) {
    case kCaPBrushMap:
      panel.blockRef = kBrushBlockParameters;
      panel.companionRef = kBrushTipMapRef;
      panel.mode = PasteMode::kPlain;
      break;
    case kCaPBrushStroke:
      panel.blockRef = kBrushBlockStroke;
      break;
    case kCaPBrushNoise:
      panel.blockRef = kBrushBlockNoise;
      panel.companionRef = kBrushNoiseMapRef;
      panel.mode = PasteMode::kPlain;
      break;
    case kCaPBrushDampSize:
      panel.blockRef = kBrushBlockDampSize;
      panel.companionRef = kBrushSizeCurveRef;
      break;
    case kCaPBrushDampAlpha:
      panel.blockRef = kBrushBlockDampAlpha;
      panel.companionRef = kBrushAlphaCurveRef;
      break;
    default:
      TARNIS_CHECK(false) << "not a brush panel: " << kind;
  }
  return panel;
}

CaPPanel StrokeClipboardPanel(Stroke& map, CaPKind kind) {
  TARNIS_CHECK(kind == kCaPStrokeDampSize || kind == kCaPStrokeDampAlpha)
      << "not a stroke map panel: " << kind;
  const bool size = kind == kCaPStrokeDampSize;
  CaPPanel panel;
  panel.owner = &map;
  panel.kind = kind;
  panel.blockRef = size ? kStrokeBlockDampSize : kStrokeBlockDampAlpha;
  panel.companionRef = size ? kStrokeSizeCurveRef : kStrokeAlphaCurveRef;
  return panel;
}

CaPPanel LineSetClipboardPanel(LineSet& set, int type, CaPKind kind) {
  TARNIS_CHECK(kind == kCaPLineDampSize || kind == kCaPLineDampAlpha)
      << "not a line set panel: " << kind;
  TARNIS_CHECK(type >= 1 && type <= kNumLineTypes) << "line type " << type;
  CaPPanel panel;
  panel.owner = &set;
  panel.kind = kind;
  panel.blockRef = DepthBlockRef(type);
  panel.companionRef =
      kind == kCaPLineDampSize ? LineSetSizeCurveRef(type) : LineSetAlphaCurveRef(type);
  // The line set names itself the owner of its curves only when it makes
  // them, so a pasted curve learns it here.
  panel.callback = [](ReferenceMaker* owner, ReferenceTarget*, ReferenceTarget* installed) {
    if (auto* curve = dynamic_cast<CurveControl*>(installed)) curve->SetOwner(owner);
  };
  return panel;
}

void ClearParamSetClipboard() {
  TheCaPDataHolder().Clear();
}

}  // namespace tarnis
