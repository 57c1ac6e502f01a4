// The second chaining process: chains of one edge group are measured
// against the brush direction, loops are recognised, open chains whose free
// ends lie within the combine length are joined when both ends choose each
// other, open strokes are turned to run along the brush direction, and
// loops get their start piece and turning sense.
#pragma once

#include <vector>

#include "sdk/render.h"
#include "tarnis/line/frame/edge_chain_types.h"
#include "tarnis/line/frame/frame_view.h"

namespace tarnis {

class ChainCombiner {
 public:
  ChainCombiner(const SegmentPool& segments, const FrameView& view, const LinkParams& params)
      : segments_(segments), view_(view), params_(params) {}

  // Runs the process on the chains of one group (in the order the first
  // process made them) and appends the finished strokes to `out`. Asks
  // `abort` every 1024 chains; `chainsDone` counts the chains of all groups
  // for progress out of `chainTotal`. False when aborted.
  bool Run(std::vector<LineChain> chains, std::vector<LineChain>& out, CheckAbortCallback* abort,
           int& chainsDone, int chainTotal) const;

  // Fills length, start, end and the along/across sums from the pieces.
  void Measure(LineChain& chain) const;
  // True when a measured chain reads as a loop: more than one piece, longer
  // than 5 pixels, neither sum reaching half its length, and its ends
  // within the combine length.
  bool LooksClosed(const LineChain& chain) const;
  // Rotates a loop to start at the piece the ray from its centre along the
  // brush direction meets first, and turns it the way loopDirection says.
  void OrientLoop(LineChain& chain) const;

 private:
  // For every free end (2 × chain + end) the end it is joined to, or -1.
  std::vector<int> MatchEnds(const std::vector<LineChain>& chains, CheckAbortCallback* abort,
                             bool* aborted) const;
  LineChain Splice(std::vector<LineChain>& chains, int first, const std::vector<int>& match,
                   std::vector<char>& absorbed) const;
  Point3 CameraPoint(const Point2& s, float z) const;

  const SegmentPool& segments_;
  const FrameView& view_;
  const LinkParams& params_;
};

// Reverses a chain in place: piece order, each piece's t0 and t1, its ends
// and its sums.
void ReverseChain(LineChain& chain);

}  // namespace tarnis
