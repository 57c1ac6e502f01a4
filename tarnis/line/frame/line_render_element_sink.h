// LineElementSink: how compositing recognises a line render element. The
// pass buffer walks the render context's elements and draws the lines of a
// pass into every enabled element with a bitmap that is also a
// LineElementSink and asks for that pass.
#pragma once

namespace tarnis {

class LineElementSink {
 public:
  // Whether the element receives the lines of `pass` (0 visible lines,
  // 1 hidden lines).
  virtual bool DrawsPass(int pass) const = 0;

 protected:
  ~LineElementSink() = default;
};

}  // namespace tarnis
