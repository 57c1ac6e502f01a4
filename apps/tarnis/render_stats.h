// What `tarnis render --stats` prints: after each frame and for the whole
// run, one line per stage with its seconds, and the process's peak memory.
// The lines read `stats frame 7: shade 1.234 s` and `stats total: load
// 0.120 s`: a scope, a stage, a number and its unit, so that scripts can
// pick them out of the output.
#pragma once

#include <cstdio>

#include "host/renderer.h"

namespace tarnis_cli {

// Passes frames on to `sink`, timing how long it takes to write them, and
// prints each written frame's stage times to `out` when `print` is set.
class RenderStats : public host::FrameSink {
 public:
  RenderStats(host::FrameSink& sink, bool print, std::FILE* out = stdout)
      : sink_(sink), print_(print), out_(out) {}

  void SetLoadSeconds(double seconds) { loadSeconds_ = seconds; }
  bool WriteFrame(const host::FrameResult& frame, std::string* error) override;
  // The whole run: scene load, the report's stages, every write, and
  // `elapsed` from the start of the load to the end of the render.
  void PrintTotal(const host::RenderReport& report, double elapsed) const;

 private:
  host::FrameSink& sink_;
  bool print_;
  std::FILE* out_;
  double loadSeconds_ = 0.0, writeSeconds_ = 0.0;
};

}  // namespace tarnis_cli
