// The brush preview: a brush drawn by the line engine along a gentle S
// curve across a small grey image (white paper, the stroke in black), as
// the brush editor shows it.
#pragma once

#include "sdk/bitmap.h"
#include "sdk/interval.h"

namespace tarnis {

class Brush;

// Draws `brush` at time t over the whole of `image` (its one-pixel border
// untouched). False when the image is smaller than 3 x 3 or memory runs out.
bool DrawBrushPreview(Brush& brush, Bitmap& image, TimeValue t);

}  // namespace tarnis
