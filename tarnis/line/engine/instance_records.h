// Gathering the render instances of a frame: which line set (and so which
// jobs) each material slot of an instance belongs to, the mapping channels
// its line maps need, and whether it can give lines at all.
#pragma once

#include "sdk/render.h"
#include "tarnis/line/frame/frame_view.h"
#include "tarnis/line/frame/line_instance.h"

class Mtl;

namespace tarnis {

// Fills `record` for render instance `ri` of the frame: line-set assignment
// (group heads, materials and sub-materials by priority), mapping channels,
// visibility and clipping tests, world box and parity. Answers false only
// when memory runs out; an unusable instance leaves the record empty.
bool BuildInstanceRecord(DetectAndISectInstance& record, RenderInstance* ri,
                         const LineSetLookup& lookup, const FrameView& view);

// The number of material slots of `mtl` (see BuildInstanceRecord).
int MaterialSlotCount(Mtl* mtl);

}  // namespace tarnis
