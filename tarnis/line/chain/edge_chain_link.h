// The first chaining process: the pieces of one edge group are sorted by
// screen length, every piece end looks for the best-aligned end of another
// piece that touches it on the screen and in depth, and chains are walked
// through ends that chose each other. LinkProgress meters the work for the
// abort callback.
#pragma once

#include <cstdint>
#include <vector>

#include "sdk/render.h"
#include "tarnis/line/frame/edge_chain_types.h"

namespace tarnis {

// Two piece ends touch when they lie this close on the screen (squared
// pixels) and in camera depth.
inline constexpr float kTouchDistance2 = 2.5e-5f;
inline constexpr float kTouchDepth = 0.005f;
inline constexpr float kNoScore = -3.4028235e38f;

// Screen coordinates clamped to a range where integer conversion is
// defined; NaN lands on the lower end.
inline float ClampScreenCoord(float v) {
  constexpr float kLimit = 1e9f;
  if (!(v > -kLimit)) return -kLimit;
  return v < kLimit ? v : kLimit;
}
// Rounds half away from zero.
inline int RoundAwayFromZero(float v) {
  v = ClampScreenCoord(v);
  return static_cast<int>(v >= 0.0f ? v + 0.5f : v - 0.5f);
}
// One key for a grid cell (cx, cy).
inline uint64_t GridCellKey(int64_t cx, int64_t cy) {
  return (static_cast<uint64_t>(cx) << 32) ^ static_cast<uint32_t>(cy);
}

// Working record of one piece. End 0 is where t0 lies (its start), end 1
// where t1 lies (its end).
struct PieceRecord {
  EdgePiece piece;
  int partner[2] = {-1, -1};  // best partner piece of each end, -1 for none
  uint8_t partnerEnd[2] = {0, 0};
  float score[2] = {kNoScore, kNoScore};
  Point2 point[2];
  float depth[2] = {0.0f, 0.0f};
  Point2 direction;  // from end 0 to end 1
  float length = 0.0f;
  int box[4] = {0, 0, 0, 0};  // integer box around both ends: x0, y0, x1, y1
  float zmin = 0.0f, zmax = 0.0f;
};

// Counts the work of linking and, whenever it passes a whole unit, reports
// progress and asks the abort callback.
class LinkProgress {
 public:
  LinkProgress(CheckAbortCallback* abort, double total);
  // True when the callback asks to stop.
  bool Add(double work);
  // Asks the callback without adding work.
  bool Check() { return abort_ && abort_->Check(); }
  int Total() const { return total_; }

 private:
  CheckAbortCallback* abort_;
  int total_;
  double done_ = 0.0;
  double next_ = 1.0;
};

// Work units of linking one pair of pieces and of one piece.
inline constexpr double kPairWork = 2.5e-4;
inline constexpr double kPieceWork = 1e-5;

// The records of `pieces`, longest on the screen first; pieces of equal
// length keep their order.
std::vector<PieceRecord> SortedPieceRecords(const std::vector<EdgePiece>& pieces,
                                            const SegmentPool& segments, bool parallel);

// Scores the pair (i, j) of records: when their boxes and depth ranges
// overlap, each touching pair of ends whose turn passes limitCos offers
// itself to both ends, which keep it when it beats their best so far.
void ScorePiecePair(std::vector<PieceRecord>& records, int i, int j, float limitCos);

// Scores every pair that can link, first piece by first piece and each in
// the order of the second, so that every end ends with the partner an
// all-pairs walk would give it; only pairs with touching ends are visited,
// found through a grid of the end points. False when aborted.
bool LinkPieceEnds(std::vector<PieceRecord>& records, float limitCos, LinkProgress& progress);

// Chains through mutual partners, started by unused pieces in record order.
std::vector<LineChain> WalkChains(const std::vector<PieceRecord>& records);

}  // namespace tarnis
