// The copy and paste buttons of the panels that have them, as CaPPanel
// descriptions for CopyToClipboard and PasteFromClipboard
// (tarnis/common/cap_data_holder.h):
//
//   brush      tip (1): block "parameters" with the tip map
//              strokes (2): block "brush_stroke"
//              distortion (3): block "noise" with the distortion map
//              size / opacity falloff (4 / 5): "damp_size" / "damp_alpha"
//              with the size / opacity curve
//   stroke map size / opacity profile (6 / 7): "damp_size" / "damp_alpha"
//              with the size / opacity curve
//   line set   depth size / alpha change of one line type (8 / 9): the
//              type's depth block with its size / alpha damping curve
//
// The tip and distortion panels paste without touching any open panel;
// the others point an open panel that shows the replaced block or curve at
// the pasted one.
#pragma once

#include "tarnis/common/cap_data_holder.h"

namespace tarnis {

class Brush;
class LineSet;
class Stroke;

// The brush panel of `kind` (kCaPBrushMap .. kCaPBrushDampAlpha).
CaPPanel BrushClipboardPanel(Brush& brush, CaPKind kind);
// The stroke map's damping panel of `kind` (kCaPStrokeDampSize or
// kCaPStrokeDampAlpha).
CaPPanel StrokeClipboardPanel(Stroke& map, CaPKind kind);
// The line set's damping panel of `kind` (kCaPLineDampSize or
// kCaPLineDampAlpha) for line type `type` (1..3).
CaPPanel LineSetClipboardPanel(LineSet& set, int type, CaPKind kind);

// Empties the clipboard; the scene it was copied from goes away.
void ClearParamSetClipboard();

}  // namespace tarnis
