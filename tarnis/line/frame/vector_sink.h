// LineVectorSink: what vector outputs (EPS writers) receive while the line
// effect draws: the frame, each job's line set and setting, each stroke's
// look, each piece's end points on the screen, and the end of the effect's
// pass. Outputs register themselves (output/vector_sinks.h); the engine calls
// every registered one in registration order, on the thread that runs the
// effect.
#pragma once

#include <span>
#include <string>

#include "sdk/color.h"
#include "sdk/interval.h"

namespace tarnis {

class LineSet;
class LineSetting;

class LineVectorSink {
 public:
  // The effect begins drawing a frame into a width x height image.
  virtual void FrameStart(TimeValue t, int width, int height) = 0;
  // A job begins: its line set and the set's name, the setting that draws
  // it (the part of the set), and 0 for visible or 1 for hidden lines.
  virtual void LineSetStart(LineSet* set, const std::string& name, LineSetting* setting,
                            int visibility) = 0;
  // A stroke begins: its width in pixels, colour, opacity (0..1) and dash
  // style.
  virtual void StrokeStart(int visibility, float width, const Color& colour, float opacity,
                           bool dashed, float dash, float gap) = 0;
  // One piece of the stroke, in image pixels (y downward), after offsets.
  virtual void Segment(float x0, float y0, float x1, float y1) = 0;
  // All pieces of the stroke at once, four values each (x0 y0 x1 y1), in
  // order; one Segment each unless the sink takes them together.
  virtual void Segments(std::span<const float> pieces) {
    for (size_t i = 0; i + 3 < pieces.size(); i += 4)
      Segment(pieces[i], pieces[i + 1], pieces[i + 2], pieces[i + 3]);
  }
  // The stroke drew something.
  virtual void StrokeEnd() = 0;
  // The effect finished its work on the frame.
  virtual void PassEnd() = 0;

 protected:
  ~LineVectorSink() = default;
};

}  // namespace tarnis
